#include "AboutBox.h"
#include "AboutCommand.h"
#include "AppTestSupport.h"
#include "FrameDecoder.h"
#include "ListGrid.h"
#include "MainWindow.h"
#include "MemoryTree.h"
#include "SimSteering.h"
#include "TFCapi20.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Frames of their own (call reference 0x3C, TEI 93), so that rows the
// simulated controller's demo trace adds cannot be mistaken for them.
const QByteArray kSetup = Hex("02 BB 03 08 01 3C 05 04 03 80 90 A3 18 01 89 70 04 81 31 32 33");
const QByteArray kReceiverReady = Hex("02 BB 01 0A"); // a layer-2 header only
constexpr uint16_t kReceived = 0x0101;
constexpr uint16_t kSent = 0x0102;

QStringList RowTexts(const TListGrid& grid, qsizetype row)
{
    QStringList texts;
    for (int column = 0; column < grid.ColumnCount(); ++column)
        texts << grid.Text(row, column);
    return texts;
}

QStringList AllRows(const TListGrid& grid)
{
    QStringList rows;
    for (qsizetype row = 0; row < grid.RowCount(); ++row)
        rows << RowTexts(grid, row).join(u'|');
    return rows;
}

// Rows whose Data column holds the frame, in order.
std::vector<qsizetype> RowsOf(const TListGrid& grid, const QByteArray& frame)
{
    std::vector<qsizetype> rows;
    const QString hex = HexColumn(frame).trimmed();
    for (qsizetype row = 0; row < grid.RowCount(); ++row)
        if (grid.Text(row, 3).trimmed() == hex)
            rows.push_back(row);
    return rows;
}

QStringList TreeLines(const QTreeWidget& widget)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        lines << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < widget.topLevelItemCount(); ++i)
        walk(widget.topLevelItem(i), 0);
    return lines;
}

QStringList DecodedLines(const QByteArray& frame)
{
    TMemoryTree tree;
    DecodeFrame(&tree, reinterpret_cast<const uint8_t*>(frame.constData()), uint32_t(frame.size()));
    return tree.Lines();
}

QString Summary(const QByteArray& frame, bool layer2)
{
    return FrameSummary(reinterpret_cast<const uint8_t*>(frame.constData()), uint32_t(frame.size()), layer2);
}

// Parameters of a MANUFACTURER request after its controller.
std::vector<uint8_t> RequestParameters(const std::vector<uint8_t>& request)
{
    if (request.size() < 12)
        return {};
    return {request.begin() + 12, request.end()};
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VsimReset();
        ASSERT_TRUE(dir.isValid());
    }

    void TearDown() override
    {
        window.reset();
        VsimReset();
    }

    void Open(const QString& driver = kSimLibrary)
    {
        window = std::make_unique<TfrmMain>(driver);
        window->RunFileDialog = [this](QFileDialog& dialog) {
            dialogTitles << dialog.windowTitle();
            return nextFile;
        };
    }

    // Waits until the grid holds count rows of the frame.
    bool WaitForRows(const QByteArray& frame, size_t count)
    {
        return PumpUntil([&] { return RowsOf(*window->HexData, frame).size() >= count; });
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
    QStringList dialogTitles;
    QString nextFile;
};

TEST_F(MainWindowTest, StartsOnTheControllerAndSwitchesTheTraceOn)
{
    Open();
    EXPECT_EQ(window->windowTitle(), "Vessik: AVM (Vessik simulated controller)");
    EXPECT_TRUE(window->Capi20->DeviceOpened());
    EXPECT_EQ(window->Capi20->Controller(), 1u);
    EXPECT_TRUE(window->Capi20->CIPMask() == 0);
    const auto requests = ManufacturerRequests();
    ASSERT_EQ(requests.size(), 1u) << "StartTrace sends the AVM request to switch the trace on";
    EXPECT_EQ(RequestParameters(requests[0]), AvmTraceSwitch(true));
    EXPECT_FALSE(window->btStop->isChecked());
    EXPECT_FALSE(window->btL2Display->isChecked());
    EXPECT_EQ(window->TrayImage(), 0);
}

TEST_F(MainWindowTest, RunsWithoutAnyCapi)
{
    Open(Path("no-such-driver.so"));
    EXPECT_EQ(window->windowTitle(), "Vessik: no CAPI available");
    EXPECT_FALSE(window->Capi20->DeviceOpened());
    // Stop and Layer 2 send nothing, and the list still works.
    window->btStop->click();
    window->btStop->click();
    window->btL2Display->click();
    window->Capi20L3Trace(0, "10:00:00,000: R: setup(05): " + HexColumn(kSetup));
    ASSERT_EQ(window->HexData->RowCount(), 1);
    const QString file = Path("offline.log");
    EXPECT_TRUE(window->SaveLog(file));
    EXPECT_TRUE(window->LoadLog(file));
    EXPECT_EQ(window->HexData->RowCount(), 1);
    window->HexData->SelectRow(0);
    EXPECT_EQ(TreeLines(*window->DecodeTree), DecodedLines(kSetup));
}

TEST_F(MainWindowTest, LayoutAsDesigned)
{
    Open();
    EXPECT_EQ(window->size(), QSize(680, 442));
    struct Button {
        QToolButton* button;
        const char* caption;
        const char* hint;
        bool checkable;
    };
    const Button buttons[] = {{window->btClear, "Clear", "Clear trace", false},
                              {window->btSave, "Save", "Save trace", false},
                              {window->btStop, "Stop", "Stop tracing", true},
                              {window->btL2Display, "Layer 2", "Layer 2 details", true}};
    for (const Button& b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(b.button->toolTip(), b.hint);
        EXPECT_EQ(b.button->isCheckable(), b.checkable);
        EXPECT_EQ(b.button->iconSize(), QSize(32, 32));
        EXPECT_FALSE(b.button->icon().isNull());
    }
    const QStringList captions = {"Time", "T/R", "Message", "Data"};
    const int widths[] = {72, 40, 132, 256};
    ASSERT_EQ(window->HexData->ColumnCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(window->HexData->ColumnCaption(i), captions[i]);
        // At least as designed; Time and Message wide enough for a whole time
        // stamp and message name in the font at hand.
        EXPECT_GE(window->HexData->columnWidth(i), widths[i]);
        if (i == 1 || i == 3) {
            EXPECT_EQ(window->HexData->columnWidth(i), widths[i]);
        }
    }
    const QFontMetrics metrics = window->HexData->fontMetrics();
    EXPECT_GT(window->HexData->columnWidth(0), metrics.horizontalAdvance("00:00:00,000"));
    EXPECT_GT(window->HexData->columnWidth(2), metrics.horizontalAdvance("connect acknowledge(05)"));
    EXPECT_EQ(window->DecodeTree->indentation(), 19);
    EXPECT_TRUE(window->edtData->isReadOnly());
    EXPECT_EQ(window->ActionTimer->interval(), 1000);
    EXPECT_FALSE(window->ActionTimer->isActive());
    EXPECT_EQ(window->Restore1->text(), "&Restore");
    EXPECT_EQ(window->Exit1->text(), "&Exit");
    // The list pane shows those three columns whole, next to the tree.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const int shown = window->HexData->columnWidth(0) + window->HexData->columnWidth(1) + window->HexData->columnWidth(2);
    EXPECT_GE(window->HexData->viewport()->width(), shown);
    EXPECT_GE(window->HexData->width(), 297);
    EXPECT_GE(window->DecodeTree->width(), 64);
}

TEST_F(MainWindowTest, TraceLinesBecomeRowsOfFourColumns)
{
    Open(Path("none.so"));
    window->Capi20L3Trace(0, "10:15:02,114: R: setup(05): 02 FF 03 ");
    window->Capi20L3Trace(0, "-------------------------------------------");
    window->Capi20L3Trace(0, "10:15:03,000: only data");
    window->Capi20L3Trace(0, "10:15:04,000: T: 02 01");
    EXPECT_EQ(AllRows(*window->HexData),
              QStringList({"10:15:02,114|R|setup(05)|02 FF 03 ", "10:15:03,000|||only data",
                           "10:15:04,000|T||02 01"}));
}

TEST_F(MainWindowTest, FramesFromTheControllerArriveAsRows)
{
    Open();
    ASSERT_EQ(Inject(AvmTraceIndication(kReceived, kSetup, 7001)), 0u);
    ASSERT_EQ(Inject(AvmTraceIndication(kSent, kSetup, 7002)), 0u);
    ASSERT_TRUE(WaitForRows(kSetup, 2)) << "trace lines reach the window through OnL3Trace";
    const auto rows = RowsOf(*window->HexData, kSetup);
    const QStringList first = RowTexts(*window->HexData, rows[0]);
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d$").match(first[0]).hasMatch()) << first[0].toStdString();
    EXPECT_EQ(first[1], "R");
    EXPECT_EQ(first[2], Summary(kSetup, false));
    EXPECT_EQ(window->HexData->Text(rows[1], 1), "T");
    // Each indication was answered with its own message number.
    EXPECT_TRUE(PumpUntil([] {
        int answered = 0;
        for (uint32_t i = 0; i < VsimPutCount(); ++i) {
            uint8_t m[64];
            if (VsimGetPut(i, m, sizeof m) >= 8 && m[4] == 0xFF && m[5] == 0x83) {
                const int number = m[6] | m[7] << 8;
                answered += number == 7001 || number == 7002;
            }
        }
        return answered == 2;
    }));
}

TEST_F(MainWindowTest, SelectingARowFillsTheTreeAndTheDataLine)
{
    Open(Path("none.so"));
    window->Capi20L3Trace(0, "t: R: setup(05): " + HexColumn(kSetup).toLower());
    window->Capi20L3Trace(0, "t: R: nothing: ");
    window->Capi20L3Trace(0, "t: R: broken: 02 ZZ 01 0A");
    window->HexData->SelectRow(0);
    EXPECT_EQ(window->edtData->text(), HexColumn(kSetup));
    EXPECT_EQ(TreeLines(*window->DecodeTree), DecodedLines(kSetup));

    // An empty Data column decodes zero octets: only the layer-2 node.
    window->HexData->SelectRow(1);
    EXPECT_EQ(window->edtData->text(), "");
    EXPECT_EQ(TreeLines(*window->DecodeTree), DecodedLines({}));
    EXPECT_EQ(window->DecodeTree->topLevelItemCount(), 1);

    // A pair that is not hex is skipped.
    window->HexData->SelectRow(2);
    EXPECT_EQ(TreeLines(*window->DecodeTree), DecodedLines(Hex("02 01 0A")));

    // A click on the selected row decodes it again.
    window->DecodeTree->clear();
    window->show();
    window->HexData->FlushRows();
    const QRect cell = window->HexData->visualRect(window->HexData->model()->index(2, 0));
    QTest::mouseClick(window->HexData->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(TreeLines(*window->DecodeTree), DecodedLines(Hex("02 01 0A")));
}

TEST_F(MainWindowTest, StopSendsTheOffRequestAndASecondClickTheOnRequest)
{
    Open();
    ASSERT_EQ(ManufacturerRequests().size(), 1u);
    window->btStop->click();
    EXPECT_TRUE(window->btStop->isChecked());
    auto requests = ManufacturerRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestParameters(requests[1]), AvmTraceSwitch(false));
    window->btStop->click();
    EXPECT_FALSE(window->btStop->isChecked());
    requests = ManufacturerRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestParameters(requests[2]), AvmTraceSwitch(true));
}

TEST_F(MainWindowTest, Layer2ChangesOnlyLaterRows)
{
    Open();
    // Without the layer-2 display a frame of only a layer-2 header gives no
    // row; the indications are handled in order, so once the SETUP is in,
    // the RR before it has been seen.
    Inject(AvmTraceIndication(kReceived, kReceiverReady, 1));
    Inject(AvmTraceIndication(kReceived, kSetup, 2));
    ASSERT_TRUE(WaitForRows(kSetup, 1));
    EXPECT_TRUE(RowsOf(*window->HexData, kReceiverReady).empty());
    const qsizetype before = RowsOf(*window->HexData, kSetup)[0];
    EXPECT_EQ(window->HexData->Text(before, 2), Summary(kSetup, false));

    window->btL2Display->click();
    EXPECT_TRUE(window->btL2Display->isChecked());
    Inject(AvmTraceIndication(kReceived, kReceiverReady, 3));
    Inject(AvmTraceIndication(kReceived, kSetup, 4));
    ASSERT_TRUE(WaitForRows(kSetup, 2));
    const auto l2 = RowsOf(*window->HexData, kReceiverReady);
    ASSERT_EQ(l2.size(), 1u);
    EXPECT_EQ(window->HexData->Text(l2[0], 2), Summary(kReceiverReady, true));
    const qsizetype after = RowsOf(*window->HexData, kSetup)[1];
    EXPECT_EQ(window->HexData->Text(after, 2), Summary(kSetup, true));
    EXPECT_NE(Summary(kSetup, true), Summary(kSetup, false));
    // The row from before the switch stays as it was.
    EXPECT_EQ(window->HexData->Text(before, 2), Summary(kSetup, false));
}

TEST_F(MainWindowTest, SaveThenLoadGivesTheSameRows)
{
    Open(Path("none.so"));
    window->Capi20L3Trace(0, "10:00:00,001: R: setup(05): " + HexColumn(kSetup));
    window->Capi20L3Trace(0, "10:00:00,002: T: a;b: 02 01 ");
    window->Capi20L3Trace(0, "10:00:00,003: T: \u00FCberweisung: ");
    const QStringList rows = AllRows(*window->HexData);

    nextFile = Path("saved.log");
    window->btSaveClick();
    ASSERT_EQ(dialogTitles, QStringList({"Save Vessik log"}));
    ASSERT_TRUE(QFile::exists(nextFile));

    window->btClearClick();
    EXPECT_EQ(window->HexData->RowCount(), 0);
    // A right click on Save loads.
    QTest::mouseClick(window->btSave, Qt::RightButton);
    ASSERT_EQ(dialogTitles, QStringList({"Save Vessik log", "Load Vessik log"}));
    QStringList expected = rows;
    for (QString& row : expected)
        row = row.split(u'|').replaceInStrings(QRegularExpression("\\s+$"), "").join(u'|'); // saved trimmed
    EXPECT_EQ(AllRows(*window->HexData), expected);

    // A cancelled dialog changes nothing.
    nextFile.clear();
    QTest::mouseClick(window->btSave, Qt::RightButton);
    EXPECT_EQ(window->HexData->RowCount(), rows.size());
}

TEST_F(MainWindowTest, KeyboardSavesAndLoads)
{
    Open(Path("none.so"));
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->Capi20L3Trace(0, "t: R: m: 01 ");
    nextFile = Path("keys.log");
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogTitles, QStringList({"Save Vessik log"}));
    window->Capi20L3Trace(0, "t: R: m: 02 ");
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialogTitles, QStringList({"Save Vessik log", "Load Vessik log"}));
    EXPECT_EQ(AllRows(*window->HexData), QStringList({"t|R|m|01"}));
}

TEST_F(MainWindowTest, DialogsAsDesigned)
{
    Open(Path("none.so"));
    const auto save = window->CreateSaveDialog();
    EXPECT_EQ(save->windowTitle(), "Save Vessik log");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->nameFilters().value(0), "Vessik log (*.log)"); // then the captures
    EXPECT_EQ(save->defaultSuffix(), "log");
    const auto open = window->CreateOpenDialog();
    EXPECT_EQ(open->windowTitle(), "Load Vessik log");
    EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(open->nameFilters().value(0), "vessik.log (*.log)");
    EXPECT_EQ(open->defaultSuffix(), "log");
    EXPECT_TRUE(open->isSizeGripEnabled());
}

TEST_F(MainWindowTest, FailedSaveOrLoadIsShownInTheStatusBar)
{
    Open(Path("none.so"));
    window->Capi20L3Trace(0, "t: R: m: 01 ");
    EXPECT_FALSE(window->SaveLog(Path("no-dir/x.log")));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("x.log"));
    EXPECT_FALSE(window->LoadLog(Path("missing.log")));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("missing.log"));
    // A log that is not there does not cost the rows on screen; nor does a folder.
    EXPECT_FALSE(window->LoadLog(dir.path()));
    EXPECT_EQ(AllRows(*window->HexData), QStringList({"t|R|m|01 "}));
}

TEST_F(MainWindowTest, ClearEmptiesRowsTreeAndDataLine)
{
    Open(Path("none.so"));
    window->Capi20L3Trace(0, "t: R: setup(05): " + HexColumn(kSetup));
    window->HexData->SelectRow(0);
    ASSERT_GT(window->DecodeTree->topLevelItemCount(), 0);
    window->btClear->click();
    EXPECT_EQ(window->HexData->RowCount(), 0);
    EXPECT_EQ(window->DecodeTree->topLevelItemCount(), 0);
    EXPECT_EQ(window->edtData->text(), "");
    // Nothing stored is left to save.
    const QString file = Path("cleared.log");
    ASSERT_TRUE(window->SaveLog(file));
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("\xEF\xBB\xBF"));
}

TEST_F(MainWindowTest, DroppedLogFileLoads)
{
    Open(Path("none.so"));
    const QString file = Path("dropped.log");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("\xEF\xBB\xBF" "a;R;m;01\r\nb;T;n;02\r\n");
    }
    window->Capi20L3Trace(0, "old: R: m: 00 ");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(AllRows(*window->HexData), QStringList({"a|R|m|01", "b|T|n|02"}));

    // Something that is not a file is refused.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
    refused.setAccepted(false);
    QApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowTest, ListFollowsNewRowsOnlyWhileAtTheBottom)
{
    Open(Path("none.so"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    TListGrid& grid = *window->HexData;
    QScrollBar* bar = grid.verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        window->Capi20L3Trace(0, QStringLiteral("%1: R: m: 01 ").arg(i));
    grid.FlushRows();
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum()) << "at the bottom from the start";

    for (int i = 0; i < 50; ++i)
        window->Capi20L3Trace(0, QStringLiteral("more %1: R: m: 01 ").arg(i));
    grid.FlushRows();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0); // the user scrolls up to read
    for (int i = 0; i < 50; ++i)
        window->Capi20L3Trace(0, QStringLiteral("late %1: R: m: 01 ").arg(i));
    grid.FlushRows();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(MainWindowTest, TrayBlinksAndFallsBackToIdle)
{
    Open(Path("none.so"));
    // Offscreen there is no system tray; the window runs all the same.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        EXPECT_EQ(window->TrayIcon(), nullptr);
    }
    EXPECT_EQ(window->TrayImage(), 0);
    window->Capi20L3Trace(0, "t: R: m: 01 ");
    EXPECT_EQ(window->TrayImage(), 1);
    EXPECT_TRUE(window->ActionTimer->isActive());
    // Rows that keep coming keep it lit; one second after the last it is idle.
    PumpFor(600);
    window->Capi20L3Trace(0, "t: R: m: 02 ");
    PumpFor(600);
    EXPECT_EQ(window->TrayImage(), 1);
    EXPECT_TRUE(PumpUntil([&] { return window->TrayImage() == 0; }, 2000));
    EXPECT_FALSE(window->ActionTimer->isActive());
    // Lines that give no row change nothing.
    window->Capi20L3Trace(0, "no separator");
    EXPECT_EQ(window->TrayImage(), 0);
    // A change of selection is a change of the list as well.
    window->HexData->SelectRow(0);
    EXPECT_EQ(window->TrayImage(), 1);
}

TEST_F(MainWindowTest, AboutBoxExistsOnceHoweverOftenAskedFor)
{
    Open(Path("none.so"));
    TAboutBox about({});
    window->SetAboutBox(&about);
    window->show();
    PostSysCommand(window.get(), kAboutCommand);
    PostSysCommand(window.get(), kAboutCommand | 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(about.isModal());
    // From the window's context menu and from F1.
    std::unique_ptr<QMenu> menu(window->createPopupMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().first()->text(), "&About");
    about.hide();
    menu->actions().first()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(about.isVisible());
    about.hide();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(about.isVisible());

    int boxes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (dynamic_cast<TAboutBox*>(widget) != nullptr)
            ++boxes;
    EXPECT_EQ(boxes, 1);
    menu.reset(); // a child of the window
    window.reset();
}

TEST_F(MainWindowTest, ClosingReleasesTheDevice)
{
    Open();
    ASSERT_EQ(VsimApplicationCount(), 1u);
    window->show();
    window->Exit1->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Capi20->DeviceOpened());
    EXPECT_EQ(VsimApplicationCount(), 0u);
}

TEST_F(MainWindowTest, RestoreBringsBackAMinimisedWindow)
{
    Open(Path("none.so"));
    window->showMinimized();
    QCoreApplication::processEvents();
    window->Restore1->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

} // namespace
