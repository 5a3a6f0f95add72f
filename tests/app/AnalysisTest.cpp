// The window as an analysis tool: filter, find, calls and their ladder, copy
// texts, remembered layout, the live list and text rows.

#include "AppTestSupport.h"
#include "CallsPanel.h"
#include "FilterBar.h"
#include "LadderView.h"
#include "ListGrid.h"
#include "MainWindow.h"
#include "SearchBar.h"
#include "SimSteering.h"
#include "TFCapi20.h"
#include "TraceSteering.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// Two calls on call reference 1: the user's (set up, answered, cleared by the
// user) and, in its middle, the network's (offered, alerted, busy). A TEI
// request between them has no layer 3.
constexpr const char* kScenario = R"(
T 00 01 00 00 08 01 01 05 04 03 80 90 A3 6C 04 81 34 35 36 70 04 81 31 32 33
R 02 01 00 02 08 01 81 02
R 02 01 02 02 08 01 01 05 04 03 80 90 A3 70 04 81 37 38 39
T FE FF 03 0F 7C 5A 01 FF
T 00 01 02 04 08 01 81 01
R 02 01 04 04 08 01 81 07
T 00 01 04 06 08 01 01 0F
R 02 01 06 06 08 01 01 45 08 02 80 91
T 00 01 06 08 08 01 01 45 08 02 80 90
R 02 01 08 08 08 01 81 4D
T 00 01 08 0A 08 01 01 5A
)";
constexpr int kScenarioRows = 11;

QStringList ShownTexts(const TListGrid& grid, int column)
{
    QStringList texts;
    for (qsizetype shown = 0; shown < grid.ShownRowCount(); ++shown)
        texts << grid.Text(grid.StoredRowOf(shown), column);
    return texts;
}

class AnalysisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VsimReset();
        VsimTraceReset();
        ASSERT_TRUE(dir.isValid());
        TfrmMain::SetSettingsFile({});
    }

    void TearDown() override
    {
        window.reset();
        TfrmMain::SetSettingsFile({});
        VsimTraceReset();
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

    // The scripted trace, played as fast as the window answers.
    void OpenOnScenario()
    {
        ASSERT_EQ(VsimTraceSetScenario(kScenario), 0u);
        VsimTraceSetPaced(0);
        Open();
        ASSERT_TRUE(PumpUntil([this] { return window->HexData->RowCount() >= kScenarioRows; }));
        window->HexData->FlushRows();
    }

    // Rows without a controller, as trace lines.
    void Trace(const QStringList& lines)
    {
        for (const QString& line : lines)
            window->Capi20L3Trace(0, line);
        window->HexData->FlushRows();
    }

    // Shown and active, so that its shortcuts work.
    void ShowActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
    QStringList dialogTitles;
    QString nextFile;
};

TEST_F(AnalysisTest, CallsFromAScriptedTrace)
{
    OpenOnScenario();
    const std::vector<TCall>& calls = window->Calls().Calls();
    ASSERT_EQ(calls.size(), 2u);

    const TCall& mine = calls[0];
    EXPECT_EQ(mine.CallReference, 1u);
    EXPECT_TRUE(mine.ChosenByUser);
    EXPECT_EQ(mine.SetupDirection, QChar(u'T'));
    EXPECT_EQ(mine.Calling, "456");
    EXPECT_EQ(mine.Called, "123");
    EXPECT_EQ(mine.Cause, "16:Normal call clearing");
    EXPECT_TRUE(mine.Released);
    EXPECT_EQ(mine.Rows, (std::vector<qsizetype>{0, 1, 5, 6, 8, 9, 10}));
    EXPECT_EQ(mine.Start, window->HexData->Text(0, 0));
    EXPECT_GE(mine.DurationMs(), 0);

    const TCall& theirs = calls[1];
    EXPECT_FALSE(theirs.ChosenByUser);
    EXPECT_EQ(theirs.SetupDirection, QChar(u'R'));
    EXPECT_EQ(theirs.Called, "789");
    EXPECT_TRUE(theirs.Cause.startsWith("17:"));
    EXPECT_FALSE(theirs.Released);
    EXPECT_EQ(theirs.Rows, (std::vector<qsizetype>{2, 4, 7}));

    // The panel lists them; picking one filters the list to its rows and
    // draws its ladder.
    EXPECT_TRUE(window->CallsPanel->isHidden()); // off by default
    window->actCalls->trigger();
    EXPECT_FALSE(window->CallsPanel->isHidden());
    window->CallsPanel->Refresh();
    QAbstractItemModel* model = window->CallsPanel->lvCalls->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 0).data().toString(), "01");
    EXPECT_EQ(model->index(0, 1).data().toString(), "T");
    EXPECT_EQ(model->index(0, 2).data().toString(), "456");
    EXPECT_EQ(model->index(0, 3).data().toString(), "123");
    EXPECT_EQ(model->index(0, 6).data().toString(), "16:Normal call clearing");
    EXPECT_EQ(model->index(1, 1).data().toString(), "R");

    window->CallsPanel->SelectCall(1);
    EXPECT_EQ(window->EmphasisedCall(), 1);
    EXPECT_EQ(window->HexData->ShownRowCount(), 3);
    EXPECT_EQ(ShownTexts(*window->HexData, 1), (QStringList{"R", "T", "R"}));

    window->CallsPanel->SelectCall(0);
    const TLadderView& ladder = *window->CallsPanel->Ladder;
    ASSERT_EQ(ladder.Messages().size(), 7u);
    const std::pair<bool, const char*> expected[] = {
        {true, "setup"},   {false, "call proceeding"}, {false, "connect"}, {true, "connect acknowledge"},
        {true, "disconnect"}, {false, "release"},      {true, "release complete"}};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(ladder.Messages()[i].FromUser, expected[i].first) << i;
        EXPECT_EQ(ladder.Messages()[i].Label, expected[i].second) << i;
        EXPECT_EQ(ladder.Messages()[i].Time, window->HexData->Text(mine.Rows[i], 0));
    }
    EXPECT_TRUE(ladder.Title().contains("456"));

    const QString png = Path("ladder.png");
    const QString svg = Path("ladder.svg");
    ASSERT_TRUE(ladder.SavePng(png));
    ASSERT_TRUE(ladder.SaveSvg(svg));
    const QImage image(png);
    EXPECT_EQ(image.size(), ladder.PictureSize());
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray picture = file.readAll();
    for (const char* text : {"<svg", "user", "network", "setup", "release complete"})
        EXPECT_TRUE(picture.contains(text)) << text;

    // The export buttons ask for a file.
    nextFile = Path("asked.svg");
    window->CallsPanel->btSaveSvg->click();
    EXPECT_TRUE(QFile::exists(nextFile));

    // No call picked: every row again.
    window->CallsPanel->SelectCall(-1);
    EXPECT_EQ(window->HexData->ShownRowCount(), kScenarioRows);
}

TEST_F(AnalysisTest, CallsGrowAsRowsArriveAndGoWithClear)
{
    Open(Path("no-such-driver.so"));
    window->ShowCalls(true);
    Trace({"10:00:00,000: T: setup(05): 00 01 00 00 08 01 05 05 70 02 81 31"});
    window->CallsPanel->Refresh();
    ASSERT_EQ(window->Calls().Calls().size(), 1u);
    EXPECT_EQ(window->Calls().Calls()[0].Called, "1");
    // Digits sent later in INFORMATION belong to the same call.
    Trace({"10:00:01,500: T: information(05): 00 01 00 00 08 01 05 7B 70 02 81 32"});
    EXPECT_EQ(window->Calls().Calls()[0].Called, "12");
    EXPECT_EQ(window->Calls().Calls()[0].DurationMs(), 1500);
    window->CallsPanel->SelectCall(0);
    EXPECT_EQ(window->CallsPanel->Ladder->Messages().size(), 2u);
    Trace({"10:00:02,000: R: release complete(05): 02 01 00 00 08 01 85 5A"});
    window->CallsPanel->Refresh();
    EXPECT_EQ(window->CallsPanel->Ladder->Messages().size(), 3u);
    EXPECT_EQ(window->HexData->ShownRowCount(), 3);

    window->btClear->click();
    window->CallsPanel->Refresh();
    EXPECT_TRUE(window->Calls().Calls().empty());
    EXPECT_EQ(window->CallsPanel->lvCalls->model()->rowCount(), 0);
    EXPECT_TRUE(window->CallsPanel->Ladder->Messages().empty());
    EXPECT_FALSE(window->HexData->Filtered());
}

TEST_F(AnalysisTest, FilterBarNarrowsTheListAndKeepsTheRow)
{
    OpenOnScenario();
    EXPECT_TRUE(window->FilterBar->isHidden()); // as designed until asked for
    ShowActive();
    QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_FALSE(window->FilterBar->isHidden());
    EXPECT_TRUE(window->FilterBar->edtFilter->hasFocus());

    window->HexData->SelectRow(5); // connect
    QTest::keyClicks(window->FilterBar->edtFilter, "CONNECT");
    EXPECT_EQ(window->HexData->ShownRowCount(), kScenarioRows); // not before the pause
    ASSERT_TRUE(PumpUntil([this] { return window->HexData->Filtered(); }));
    EXPECT_EQ(ShownTexts(*window->HexData, 2),
              (QStringList{"connect(01)", "connect acknowledge(01)", "disconnect(01)", "disconnect(01)"}));
    EXPECT_EQ(window->HexData->SelectedRow(), 5);
    EXPECT_EQ(window->StatusText(), QStringLiteral("4 / 11 rows \u00B7 trace on \u00B7 2 calls"));
    EXPECT_EQ(window->findChild<QLabel*>("lblStatus")->text(), window->StatusText());

    // Data is matched too: the cause octets of the busy DISCONNECT.
    window->FilterBar->edtFilter->setText("80 91");
    QTest::keyClick(window->FilterBar->edtFilter, Qt::Key_Return);
    EXPECT_EQ(ShownTexts(*window->HexData, 2), (QStringList{"disconnect(01)"}));
    EXPECT_EQ(window->HexData->SelectedRow(), -1); // row 5 is gone

    window->FilterBar->edtFilter->clear();
    QTest::keyClick(window->FilterBar->edtFilter, Qt::Key_Return);
    window->FilterBar->cbDirection->setCurrentIndex(2); // R only
    EXPECT_EQ(window->HexData->ShownRowCount(), 5);
    window->FilterBar->cbDirection->setCurrentIndex(1); // T only
    EXPECT_EQ(window->HexData->ShownRowCount(), 6);
    window->FilterBar->cbLayer3->setChecked(true);
    EXPECT_EQ(window->HexData->ShownRowCount(), 5); // not the TEI request
    window->FilterBar->cbDirection->setCurrentIndex(0);

    // "This call": the call of the selected row.
    window->HexData->SelectRow(4); // alerting of the network's call
    window->FilterBar->cbOneCall->setChecked(true);
    EXPECT_EQ(ShownTexts(*window->HexData, 2), (QStringList{"setup(01)", "alerting(01)", "disconnect(01)"}));
    EXPECT_EQ(window->HexData->SelectedRow(), 4);

    // Clearing brings every row back at the same row.
    QTest::keyClick(window->FilterBar, Qt::Key_Escape);
    EXPECT_TRUE(window->FilterBar->isHidden());
    EXPECT_FALSE(window->HexData->Filtered());
    EXPECT_EQ(window->HexData->ShownRowCount(), kScenarioRows);
    EXPECT_EQ(window->HexData->SelectedRow(), 4);
    EXPECT_EQ(window->StatusText(), QStringLiteral("11 rows \u00B7 trace on \u00B7 2 calls"));

    // A row of no call cannot stand for one.
    window->HexData->SelectRow(3);
    window->FilterBar->cbOneCall->setChecked(true);
    EXPECT_FALSE(window->FilterBar->cbOneCall->isChecked());
    EXPECT_FALSE(window->HexData->Filtered());
}

TEST_F(AnalysisTest, SearchFindsRowsByTheirDecodeAndMarksTheNode)
{
    OpenOnScenario();
    ShowActive();
    QTest::keySequence(window.get(), QKeySequence::Find);
    EXPECT_FALSE(window->SearchBar->isHidden());
    // "789" is only in the decode of the network's SETUP (called number).
    window->SearchBar->edtSearch->setText("789");
    QTest::keyClick(window->SearchBar->edtSearch, Qt::Key_Return);
    ASSERT_EQ(window->HexData->SelectedRow(), 2);
    QTreeWidgetItem* node = window->DecodeTree->currentItem();
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->text(0).contains("789"));
    EXPECT_NE(node->background(0).style(), Qt::NoBrush);
    EXPECT_TRUE(node->parent() == nullptr || node->parent()->isExpanded());
    // Alone: F3 comes back to it.
    EXPECT_TRUE(window->FindNext());
    EXPECT_EQ(window->HexData->SelectedRow(), 2);

    // Message texts, forwards and backwards, wrapping round.
    window->SearchBar->edtSearch->setText("DISCONNECT");
    window->HexData->SelectRow(0);
    QTest::keyClick(window.get(), Qt::Key_F3);
    EXPECT_EQ(window->HexData->SelectedRow(), 7);
    QTest::keyClick(window.get(), Qt::Key_F3);
    EXPECT_EQ(window->HexData->SelectedRow(), 8);
    QTest::keyClick(window.get(), Qt::Key_F3);
    EXPECT_EQ(window->HexData->SelectedRow(), 7);
    QTest::keyClick(window.get(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(window->HexData->SelectedRow(), 8);

    // Only rows that show are searched.
    window->FilterBar->cbDirection->setCurrentIndex(2); // R only
    window->HexData->SelectRow(0);
    EXPECT_EQ(window->HexData->SelectedRow(), -1);
    EXPECT_TRUE(window->FindNext());
    EXPECT_EQ(window->HexData->SelectedRow(), 7);
    EXPECT_TRUE(window->FindNext());
    EXPECT_EQ(window->HexData->SelectedRow(), 7);

    window->SearchBar->edtSearch->setText("no such text");
    EXPECT_FALSE(window->FindNext());
    EXPECT_EQ(window->SearchBar->lblResult->text(), "not found");
}

TEST_F(AnalysisTest, CopyTextsAreLogLinesAndTheCommandLinesDecode)
{
    Open(Path("no-such-driver.so"));
    Trace({"10:15:02,114: R: setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 ",
           "10:15:02,200: T: alerting(05): 00 01 00 00 08 01 85 01 "});
    ShowActive();
    window->HexData->SelectRow(0);
    EXPECT_EQ(window->SelectedRowsText(),
              "10:15:02,114;R;setup(05);02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89\r\n");
    window->HexData->setFocus();
    QTest::keySequence(window->HexData, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), window->SelectedRowsText());
    EXPECT_EQ(window->ShownRowsText(), window->SelectedRowsText()
                                           + "10:15:02,200;T;alerting(05);00 01 00 00 08 01 85 01\r\n");

    // The decode as `vessik-cli decode` prints the frame.
    const QString decode = window->DecodeText();
    EXPECT_TRUE(decode.startsWith("setup(05)\nLayer 2 (Q.921)\n  02 FF 03 \n  Command/Response: 0x01\n"));
    EXPECT_TRUE(decode.contains("\nLayer 3 (Q.931)\n  08 01 05 05 04 03 80 90 A3 18 01 89 \n"
                                "  Protocoldiscriminator: 0x08 (Q.931)\n  Message type: setup\n  CRV: 5\n"
                                "  IE: bearer capability\n"));
    EXPECT_TRUE(decode.endsWith("\n"));
    window->btL2Display->click();
    EXPECT_TRUE(window->DecodeText().startsWith("UI(7F), setup(05)\n"));

    // A node, and a node with its children, indented from the node.
    QTreeWidgetItem* layer3 = window->DecodeTree->topLevelItem(1);
    ASSERT_NE(layer3, nullptr);
    EXPECT_EQ(TfrmMain::NodeText(layer3, false), "Layer 3 (Q.931)");
    const QString subtree = TfrmMain::NodeText(layer3, true);
    EXPECT_TRUE(subtree.startsWith("Layer 3 (Q.931)\n  08 01 05 05 "));
    EXPECT_TRUE(subtree.contains("\n  IE: channel\n    "));
    window->DecodeTree->setCurrentItem(layer3->child(2));
    window->DecodeTree->setFocus();
    QTest::keySequence(window->DecodeTree, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), "Message type: setup");
}

TEST_F(AnalysisTest, KorvanTextRowsShowTheirText)
{
    Open(Path("no-such-driver.so"));
    Trace({"10:00:00,000: R: SIP/2.0 200 OK", "Via: SIP/2.0/UDP host: 5060\r\nContent-Length: 0",
           "10:00:01,000: T: setup(05): 02 FF 03 08 01 05 05 "});
    ASSERT_EQ(window->HexData->RowCount(), 3);
    window->HexData->SelectRow(0);
    EXPECT_EQ(window->DecodeTree->topLevelItemCount(), 1);
    EXPECT_EQ(window->DecodeTree->topLevelItem(0)->text(0), "SIP/2.0 200 OK");
    EXPECT_EQ(window->edtData->text(), "SIP/2.0 200 OK");
    window->HexData->SelectRow(1);
    ASSERT_EQ(window->DecodeTree->topLevelItemCount(), 2);
    EXPECT_EQ(window->DecodeTree->topLevelItem(0)->text(0), "Via: SIP/2.0/UDP host: 5060");
    EXPECT_EQ(window->DecodeTree->topLevelItem(1)->text(0), "Content-Length: 0");
    EXPECT_EQ(window->DecodeText(), "Via: SIP/2.0/UDP host: 5060\nContent-Length: 0\n");
    window->HexData->SelectRow(2);
    EXPECT_EQ(window->DecodeTree->topLevelItem(0)->text(0), "Layer 2 (Q.921)");
    EXPECT_TRUE(window->Calls().Calls().size() == 1u);
}

TEST_F(AnalysisTest, SelectedRowIsNotScrolledAwayUntilEnd)
{
    Open(Path("no-such-driver.so"));
    ShowActive();
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("10:00:00,%1: R: setup(05): 02 FF 03 08 01 05 05 ").arg(i, 3, 10, QLatin1Char('0'));
    Trace(lines);
    window->HexData->scrollToBottom();
    QScrollBar* bar = window->HexData->verticalScrollBar();
    ASSERT_TRUE(PumpUntil([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }));
    // The user picks a row near the end: new rows do not move it.
    window->HexData->SelectRow(195);
    const int held = bar->value();
    Trace(lines);
    PumpFor(100);
    EXPECT_EQ(bar->value(), held);
    EXPECT_FALSE(window->FollowsRows());
    // End goes back to the newest row, and the list follows again.
    window->HexData->setFocus();
    QTest::keyClick(window->HexData, Qt::Key_End);
    EXPECT_EQ(window->HexData->SelectedRow(), 399);
    Trace(lines);
    ASSERT_TRUE(PumpUntil([&] { return bar->value() == bar->maximum(); }));
    EXPECT_TRUE(window->FollowsRows());
    EXPECT_EQ(window->StatusText(), QStringLiteral("600 rows \u00B7 trace on \u00B7 600 calls"));
    window->btStop->click();
    EXPECT_EQ(window->StatusText(), QStringLiteral("600 rows \u00B7 trace off \u00B7 600 calls"));
}

TEST_F(AnalysisTest, LayoutIsRememberedAcrossWindows)
{
    const QString settings = Path("settings/Vessik.ini");
    TfrmMain::SetSettingsFile(settings);
    Open(Path("no-such-driver.so"));
    // A first start: as designed.
    EXPECT_EQ(window->size(), QSize(680, 442));
    EXPECT_TRUE(window->FilterBar->isHidden());
    EXPECT_TRUE(window->CallsPanel->isHidden());
    EXPECT_FALSE(window->btL2Display->isChecked());
    EXPECT_TRUE(window->StatusText().isEmpty());
    EXPECT_TRUE(window->RecentFiles().isEmpty());

    window->show();
    window->resize(900, 600);
    window->Splitter1->setSizes({500, 400});
    window->HexData->header()->resizeSection(2, 222);
    window->btL2Display->click();
    window->ShowFilterBar();
    window->ShowCalls(true);
    const QString log = Path("one.log");
    Trace({"10:00:00,000: R: setup(05): 02 FF 03 08 01 05 05 "});
    ASSERT_TRUE(window->SaveLog(log));
    PumpFor(50);
    const QList<int> sizes = window->Splitter1->sizes();
    window->close();
    window.reset();
    ASSERT_TRUE(QFile::exists(settings));

    Open(Path("no-such-driver.so"));
    window->show();
    PumpFor(50);
    EXPECT_EQ(window->size(), QSize(900, 600));
    EXPECT_EQ(window->Splitter1->sizes(), sizes);
    EXPECT_EQ(window->HexData->columnWidth(2), 222);
    EXPECT_TRUE(window->btL2Display->isChecked());
    EXPECT_FALSE(window->FilterBar->isHidden());
    EXPECT_FALSE(window->CallsPanel->isHidden());
    EXPECT_EQ(window->RecentFiles(), QStringList{QFileInfo(log).absoluteFilePath()});

    // The Save button's menu offers Load and the file again.
    ASSERT_EQ(window->btSave->menu(), window->SaveMenu);
    EXPECT_EQ(window->btSave->popupMode(), QToolButton::DelayedPopup);
    QStringList entries;
    for (QAction* action : window->SaveMenu->actions())
        if (!action->isSeparator())
            entries << action->text();
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Load\u2026\tCtrl+O"), "one.log"}));
    window->SaveMenu->actions().last()->trigger();
    EXPECT_EQ(window->HexData->RowCount(), 1);
    nextFile = log;
    window->actLoad->trigger();
    EXPECT_EQ(dialogTitles, QStringList{"Load Vessik log"});
}

// A million rows: filtering and finding stay quick (the benchmark measures
// them; here only a loose bound catches a slip into something much slower).
TEST_F(AnalysisTest, AMillionRowsFilterAndSearch)
{
    constexpr int kRows = 1000000;
    Open(Path("no-such-driver.so"));
    const QString setup = QStringLiteral("00 01 00 00 08 01 05 05 70 04 81 31 32 33 ");
    const QString alerting = QStringLiteral("02 01 00 00 08 01 85 01 ");
    for (int row = 0; row < kRows; ++row) {
        const bool even = row % 2 == 0;
        const QStringView texts[] = {u"10:00:00,000", even ? u"T" : u"R", even ? u"setup(05)" : u"alerting(05)",
                                     even ? QStringView(setup) : QStringView(alerting)};
        window->HexData->AppendRow(std::span<const QStringView>(texts));
    }
    window->HexData->AppendRow(QStringList{"10:00:01,000", "R", "disconnect(05)", "02 01 00 00 08 01 85 45 "});
    window->HexData->FlushRows();
    window->HexData->SelectRow(kRows - 2);

    QElapsedTimer timer;
    timer.start();
    window->FilterBar->edtFilter->setText("Alerting");
    QTest::keyClick(window->FilterBar->edtFilter, Qt::Key_Return);
    EXPECT_EQ(window->HexData->ShownRowCount(), kRows / 2);
    EXPECT_LT(timer.restart(), 5000);
    EXPECT_EQ(window->HexData->SelectedRow(), -1);

    window->FilterBar->edtFilter->setText("05");
    QTest::keyClick(window->FilterBar->edtFilter, Qt::Key_Return);
    EXPECT_EQ(window->HexData->ShownRowCount(), kRows + 1);
    window->HexData->SelectRow(1);
    // Only the last row holds it, so every row's decode is tried first.
    window->SearchBar->edtSearch->setText("disconnect");
    EXPECT_TRUE(window->FindNext());
    EXPECT_EQ(window->HexData->SelectedRow(), kRows);
    EXPECT_LT(timer.elapsed(), 60000);
}

TEST_F(AnalysisTest, TipsNameTheKeysAndKeepTheHints)
{
    Open(Path("no-such-driver.so"));
    ShowActive();
    const auto tip = [](QWidget* widget) {
        QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(widget, &event);
        return QToolTip::text();
    };
    EXPECT_EQ(window->btSave->toolTip(), "Save trace"); // the hint itself stays
    const QString save = tip(window->btSave);
    EXPECT_TRUE(save.startsWith("Save trace (Ctrl+S)")) << save.toStdString();
    EXPECT_TRUE(save.contains("Ctrl+O"));
    EXPECT_EQ(tip(window->btStop), "Stop tracing");
    EXPECT_TRUE(tip(window->ToolBar1).contains("F1"));
}

} // namespace
