// vessik-cli dial: the number a tel: URI gives, the command against a running
// vessik-cli monitor and without one, and the desktop entry that hands tel:
// links to it.

#include "DialCommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct TNumberCase {
    const char* label;
    const char* argument;
    const char* number;
};

class DialNumberOf : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(DialNumberOf, Argument)
{
    EXPECT_EQ(DialNumber(QString::fromUtf8(GetParam().argument)), QString::fromUtf8(GetParam().number));
}

INSTANTIATE_TEST_SUITE_P(
    Dial, DialNumberOf,
    ::testing::Values(TNumberCase{"PlainTel", "tel:0301234", "0301234"},
                      TNumberCase{"Separators", "tel:+49-30-(123).45 6", "+4930123456"},
                      TNumberCase{"Parameters", "tel:0301234;phone-context=example.com;ext=22", "0301234"},
                      TNumberCase{"PercentDecoded", "tel:%2B49%2030%201234", "+49301234"},
                      TNumberCase{"EncodedSemicolonIsNoParameter", "tel:12%3B34", "12;34"},
                      TNumberCase{"SchemeInCapitals", "TEL:0301234", "0301234"},
                      TNumberCase{"OnlyParameters", "tel:;ext=1", ""},
                      TNumberCase{"PlainNumberAsItStands", "030-1234", "030-1234"},
                      TNumberCase{"OtherScheme", "sip:alice@example.com", "sip:alice@example.com"}),
    [](const ::testing::TestParamInfo<TNumberCase>& param) { return std::string(param.param.label); });

struct TRun {
    int status = -1;
    QString out;
    QString err;
};

class DialCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"VESSIK_SIM_SCENARIO", "VESSIK_SIM_MANUFACTURER", "VESSIK_SIM_PUTLOG"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("VESSIK_SIM_SCRIPTED"), QStringLiteral("1"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }

    void TearDown() override
    {
        if (monitor.state() != QProcess::NotRunning) {
            monitor.terminate();
            if (!monitor.waitForFinished(10000))
                monitor.kill();
            monitor.waitForFinished();
        }
    }

    TRun Dial(const QStringList& args)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("dial")} + args);
        EXPECT_TRUE(process.waitForStarted(10000));
        EXPECT_TRUE(process.waitForFinished(20000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // A monitor that prints one event and ends; ready once it listens.
    bool StartMonitor()
    {
        monitor.setProcessEnvironment(environment);
        monitor.start(QStringLiteral(VESSIK_CLI),
                      {QStringLiteral("monitor"), QStringLiteral("--driver"), QStringLiteral(VESSIK_SIM_LIBRARY),
                       QStringLiteral("--count"), QStringLiteral("1")});
        if (!monitor.waitForStarted(10000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(runtime.filePath(QStringLiteral("vessik-dial")))) {
            if (timer.elapsed() > 20000 || monitor.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    QTemporaryDir runtime;
    QProcessEnvironment environment;
    QProcess monitor;
};

TEST_F(DialCommand, MonitorShowsTheRequest)
{
    ASSERT_TRUE(StartMonitor());
    const TRun run = Dial({QStringLiteral("tel:0301234"), QStringLiteral("--name"), QStringLiteral("Office")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_TRUE(monitor.waitForFinished(20000));
    EXPECT_EQ(monitor.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(monitor.readAllStandardOutput()),
              QStringLiteral("event OnRequestCall PLCI_NCCI=0x00000000 Number=\"0301234\" Name=\"Office\"\n"));
}

TEST_F(DialCommand, TelUriWithSeparatorsAndNoName)
{
    ASSERT_TRUE(StartMonitor());
    const TRun run = Dial({QStringLiteral("tel:+49-30-1234;phone-context=example.com")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_TRUE(monitor.waitForFinished(20000));
    EXPECT_EQ(QString::fromUtf8(monitor.readAllStandardOutput()),
              QStringLiteral("event OnRequestCall PLCI_NCCI=0x00000000 Number=\"+49301234\" Name=\"\"\n"));
}

TEST_F(DialCommand, WithoutListenerExitsWithOne)
{
    const TRun run = Dial({QStringLiteral("tel:0301234")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, QStringLiteral("vessik-cli dial: no Vessik component is listening for dialling requests\n"));
}

TEST_F(DialCommand, BadArgumentsExitWithTwo)
{
    for (const QStringList& args : {QStringList{}, QStringList{"tel:;ext=1"}, QStringList{"1", "2"},
                                    QStringList{"1", "--name"}, QStringList{"1", "--nmae", "x"},
                                    QStringList{QString(1200, u'1')}}) {
        const TRun run = Dial(args);
        EXPECT_EQ(run.status, 2) << args.join(u' ').left(40).toStdString();
        EXPECT_TRUE(run.err.startsWith(QLatin1String("vessik-cli dial: "))) << run.err.toStdString();
    }
}

TEST(DialDesktopEntry, HandsTelLinksToDial)
{
    QFile file(QStringLiteral(VESSIK_DESKTOP_ENTRY));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exec=vessik-cli dial %u")));
    EXPECT_TRUE(lines.contains(QStringLiteral("MimeType=x-scheme-handler/tel;")));
}

} // namespace
