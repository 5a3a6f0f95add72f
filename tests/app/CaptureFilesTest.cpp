// The window with capture files: the dialogs' filters, saving to a capture,
// and loading one by its content, from the dialog or dropped.

#include "AppTestSupport.h"
#include "CaptureReader.h"
#include "CaptureRows.h"
#include "ListGrid.h"
#include "MainWindow.h"

#include <QApplication>
#include <QDate>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const QByteArray kSetup = Hex("02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89");
const QByteArray kAlerting = Hex("00 81 00 00 08 01 85 01");

QStringList AllRows(const TListGrid& grid)
{
    QStringList rows;
    for (qsizetype row = 0; row < grid.RowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < grid.ColumnCount(); ++column)
            texts << grid.Text(row, column);
        rows << texts.join(u'|');
    }
    return rows;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CaptureFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<TfrmMain>(Path("none.so"));
        window->RunFileDialog = [this](QFileDialog&) { return nextFile; };
        window->Capi20L3Trace(0, "10:00:00,001: R: setup(05): " + HexColumn(kSetup));
        window->Capi20L3Trace(0, "10:00:00,002: T: alerting(05): " + HexColumn(kAlerting));
        window->Capi20L3Trace(0, "10:00:00,003: R: Registered: SIP account 1");
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
    QString nextFile;
};

TEST_F(CaptureFilesTest, DialogsOfferCapturesBesideTheLog)
{
    const auto save = window->CreateSaveDialog();
    EXPECT_EQ(save->nameFilters(),
              QStringList({"Vessik log (*.log)", "pcap capture (*.pcap)", "pcapng capture (*.pcapng)"}));
    emit save->filterSelected(QStringLiteral("pcapng capture (*.pcapng)"));
    EXPECT_EQ(save->defaultSuffix(), "pcapng");
    emit save->filterSelected(QStringLiteral("pcap capture (*.pcap)"));
    EXPECT_EQ(save->defaultSuffix(), "pcap");
    emit save->filterSelected(QStringLiteral("Vessik log (*.log)"));
    EXPECT_EQ(save->defaultSuffix(), "log");
    const auto open = window->CreateOpenDialog();
    EXPECT_EQ(open->nameFilters(),
              QStringList({"vessik.log (*.log)", "pcap capture (*.pcap)", "pcapng capture (*.pcapng)"}));
}

TEST_F(CaptureFilesTest, SavingToACaptureWritesWhatExportWrites)
{
    for (const auto& [name, format] : {std::pair{"saved.pcap", TCaptureFormat::Pcap},
                                       std::pair{"saved.PCAPNG", TCaptureFormat::Pcapng}}) {
        nextFile = Path(name);
        window->btSaveClick();
        const QString exported = Path("exported");
        TCaptureWriter writer;
        TExportCounts counts;
        ASSERT_TRUE(writer.Open(exported, format));
        ASSERT_TRUE(ExportRows(window->HexData->Rows(), QDate::currentDate(), writer, counts));
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(counts.Packets, 2u);
        EXPECT_EQ(Read(nextFile), Read(exported)) << name;
    }
    TCaptureReader reader;
    ASSERT_TRUE(reader.Open(Path("saved.pcap")));
    TCapturePacket packet;
    ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    EXPECT_EQ(packet.Frame, kSetup);
    EXPECT_EQ(packet.Sent, false);
    ASSERT_EQ(reader.Next(packet), TCaptureReader::TStatus::Packet);
    EXPECT_EQ(packet.Frame, kAlerting);
    EXPECT_EQ(packet.Sent, true);
}

TEST_F(CaptureFilesTest, LoadTakesACaptureByItsContent)
{
    // A capture under a log's name still loads as a capture.
    ASSERT_TRUE(window->SaveLog(Path("trace.pcap")));
    ASSERT_TRUE(QFile::copy(Path("trace.pcap"), Path("capture.log")));
    const QStringList expected = {"10:00:00,001|R|setup(05)|" + HexColumn(kSetup),
                                  "10:00:00,002|T|alerting(05)|" + HexColumn(kAlerting)};
    nextFile = Path("capture.log");
    window->OpenLogClick();
    EXPECT_EQ(AllRows(*window->HexData), expected);

    window->btClearClick();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Path("trace.pcap"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(AllRows(*window->HexData), expected);
}

TEST_F(CaptureFilesTest, DamagedCaptureKeepsTheRowsBeforeTheDamage)
{
    ASSERT_TRUE(window->SaveLog(Path("whole.pcap")));
    QFile cut(Path("cut.pcap"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    const QByteArray whole = Read(Path("whole.pcap"));
    cut.write(whole.first(whole.size() - 2));
    cut.close();
    EXPECT_FALSE(window->LoadLog(Path("cut.pcap")));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("cut.pcap"));
    EXPECT_EQ(AllRows(*window->HexData), QStringList({"10:00:00,001|R|setup(05)|" + HexColumn(kSetup)}));
}

} // namespace
