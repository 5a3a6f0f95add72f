// Supplementary-service confirmations, indications and INFO indications from
// a scripted controller, as vessik-cli monitor --trace shows them, and the
// requests and answers the component puts.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Lines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

// Get Supported Services (every service), a Hold result on PLCI 0101, a
// progress element, and a CCBS StatusRequest invoke in a Facility element.
constexpr char kScript[] = R"(MSG 1A 00 00 00 80 81 01 00 01 00 00 00 00 00 03 00 09 00 00 06 00 00 FF 01 00 00
MSG 14 00 00 00 80 82 02 00 01 01 00 00 03 00 05 02 00 02 00 00
MSG 11 00 00 00 08 82 03 00 01 01 00 00 1E 00 02 80 88
MSG 1D 00 00 00 08 82 04 00 01 01 00 00 1C 00 0E 91 A1 0B 02 01 05 06 06 04 00 82 67 01 08
)";

TEST(SupplementaryMonitor, ScriptedIndicationsGiveTheirLinesEventsAndAnswers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("script.txt"));
    const QString putLog = dir.filePath(QStringLiteral("put.txt"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kScript);
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VESSIK_SIM_MANUFACTURER"));
    environment.insert(QStringLiteral("VESSIK_SIM_SCENARIO"), script);
    environment.insert(QStringLiteral("VESSIK_SIM_SCRIPTED"), QStringLiteral("1"));
    environment.insert(QStringLiteral("VESSIK_SIM_PUTLOG"), putLog);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VESSIK_CLI), {"monitor", "--driver", VESSIK_SIM_LIBRARY, "--trace", "--count", "4"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);

    QStringList out = Lines(process.readAllStandardOutput());
    static const QRegularExpression stamp(QStringLiteral("\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d"));
    for (QString& line : out)
        line.replace(stamp, QStringLiteral("T"));
    const qsizetype first = out.indexOf(QStringLiteral("trace T: Facility Confirm (Supplementary Services)"));
    ASSERT_GE(first, 0) << out.join('\n').toStdString();
    EXPECT_EQ(out.mid(first),
              (QStringList{
                  "trace T: Facility Confirm (Supplementary Services)",
                  "event OnStatus PLCI_NCCI=0x00000001 Status=GetSupplementServicesNotify",
                  "trace T: Facility Request (Listen To Supplementary Services)",
                  "trace T:  Get Supported Services: success",
                  "trace T: Facility Indication (Supplementary Services)",
                  "trace T:  Hold",
                  "event OnStatus PLCI_NCCI=0x00000101 Status=HoldConfirm",
                  "trace T: Facility Response",
                  "trace T: Info Indication: in-band information or an appropriate pattern is now available",
                  "event OnInfo PLCI_NCCI=0x00000101 InfoType=7688 InfoStr=\"in-band information or an appropriate "
                  "pattern is now available\"",
                  "trace T: Info Response",
                  "trace T: Info Indication: facility data - invoke",
                  "trace T:  CCBS",
                  "event OnInfo PLCI_NCCI=0x00000101 InfoType=28 InfoStr=\"\"",
              }));

    QFile puts(putLog);
    ASSERT_TRUE(puts.open(QIODevice::ReadOnly));
    const QStringList put = Lines(puts.readAll());
    // The listen with the confirmed mask, the Hold result's answer, the INFO answers.
    EXPECT_TRUE(put.contains("16 00 01 00 80 80 03 00 01 00 00 00 03 00 07 01 00 04 FF 01 00 00"));
    EXPECT_TRUE(put.contains("12 00 01 00 80 83 02 00 01 01 00 00 03 00 03 02 00 00"));
    EXPECT_TRUE(put.contains("0C 00 01 00 08 83 03 00 01 01 00 00"));
    EXPECT_TRUE(put.contains("0C 00 01 00 08 83 04 00 01 01 00 00"));
}

} // namespace
