// The window's analysis tools: filter and find bars, the Calls panel, the
// colours of the rows, copying rows and decodes, and the status line.

#include "MainWindow.h"

#include "CallsPanel.h"
#include "FilterBar.h"
#include "FrameText.h"
#include "ListGrid.h"
#include "LogFile.h"
#include "MemoryTree.h"
#include "OneLine.h"
#include "RowColours.h"
#include "SearchBar.h"
#include "TextMatch.h"
#include "TraceFilter.h"
#include "TraceLine.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

constexpr int kStatusMs = 200; // the status follows a stream of rows this often
constexpr int kDataColumn = 3;
constexpr int kCallsWidth = 440;
constexpr char16_t kNewLine = u'\n';

// What a tool button's tip adds to its hint: the keys that reach it.
struct TKeyHint {
    const char* name;
    const char* keys;
};
constexpr TKeyHint kKeyHints[] = {
    {"btSave", " (Ctrl+S)\nLoad\u2026: Ctrl+O, a right click, or hold the button"},
};
constexpr const char* kAboutKeyHint = "About Vessik: F1";

QString Lines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + kNewLine;
    return text;
}

void AddNodeLines(const QTreeWidgetItem* item, int depth, QStringList& lines)
{
    lines << QString(depth * 2, QLatin1Char(' ')) + OneLine(item->text(0));
    for (int i = 0; i < item->childCount(); ++i)
        AddNodeLines(item->child(i), depth + 1, lines);
}

QShortcut* Shortcut(const QKeySequence& keys, QWidget* parent, Qt::ShortcutContext context)
{
    auto* shortcut = new QShortcut(keys, parent);
    shortcut->setContext(context);
    return shortcut;
}

} // namespace

void TfrmMain::CreateAnalysis()
{
    // Rows in colour; the call in view on a tint.
    auto* delegate = new TTraceRowDelegate(HexData);
    delegate->Emphasised = [this](const QModelIndex& index) {
        return m_emphasisedCall >= 0 && m_calls.CallOf(HexData->StoredRowOf(index.row())) == m_emphasisedCall;
    };
    HexData->setItemDelegate(delegate);

    FilterBar->OnChange = [this] {
        if (FilterBar->OneCall() && m_oneCall < 0) {
            m_oneCall = m_calls.CallOf(HexData->SelectedRow());
            if (m_oneCall < 0) {
                FilterBar->DropOneCall();
                statusBar()->showMessage(QStringLiteral("The selected row belongs to no call"), 4000);
            }
        } else if (!FilterBar->OneCall()) {
            m_oneCall = -1;
        }
        ApplyFilter();
    };
    FilterBar->OnClose = [this] { CloseFilterBar(); };
    SearchBar->OnFind = [this](bool backwards) { FindNext(backwards); };
    SearchBar->OnClose = [this] {
        SearchBar->hide();
        HexData->setFocus();
    };

    CallsPanel = new TCallsPanel(m_calls, HexData->Rows(), this);
    addDockWidget(Qt::RightDockWidgetArea, CallsPanel);
    CallsPanel->hide();
    CallsPanel->OnSelectCall = [this](int call) { CallsPanelSelectCall(call); };
    CallsPanel->AskFileName = [this](const QString& title, const QString& suffix) {
        QFileDialog dialog(this, title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("%1 (*.%2)").arg(suffix.toUpper(), suffix));
        dialog.setDefaultSuffix(suffix);
        return RunFileDialog ? RunFileDialog(dialog) : QString();
    };
    // Wide enough for a call's line and its ladder when first shown; later
    // the user's width, remembered with the layout.
    connect(CallsPanel, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && !m_callsSized) {
            m_callsSized = true;
            resizeDocks({CallsPanel}, {kCallsWidth}, Qt::Horizontal);
        }
    });
    actCalls = CallsPanel->toggleViewAction();
    actCalls->setObjectName(QStringLiteral("actCalls"));
    actCalls->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    actCalls->setToolTip(QStringLiteral("Calls (Ctrl+K)"));
    addAction(actCalls);

    auto* filter = Shortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this, Qt::WindowShortcut);
    connect(filter, &QShortcut::activated, this, [this] { ShowFilterBar(); });
    auto* find = Shortcut(QKeySequence::Find, this, Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] { ShowSearchBar(); });
    auto* next = Shortcut(QKeySequence(Qt::Key_F3), this, Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, [this] { FindNext(false); });
    auto* previous = Shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this, Qt::WindowShortcut);
    connect(previous, &QShortcut::activated, this, [this] { FindNext(true); });
    // Ctrl+C on the list copies rows, on the tree the node: before the views'
    // own copy, which takes one cell's text.
    auto* copyRows = Shortcut(QKeySequence::Copy, HexData, Qt::WidgetShortcut);
    connect(copyRows, &QShortcut::activated, this, [this] { CopyRows(); });
    auto* copyNode = Shortcut(QKeySequence::Copy, DecodeTree, Qt::WidgetShortcut);
    connect(copyNode, &QShortcut::activated, this, [this] { CopyNode(false); });
    // End goes back to the newest row and lets the list follow again.
    auto* end = Shortcut(QKeySequence(Qt::Key_End), HexData, Qt::WidgetShortcut);
    connect(end, &QShortcut::activated, this, [this] {
        m_holdRows = false;
        HexData->FlushRows();
        HexData->SelectRow(HexData->StoredRowOf(HexData->ShownRowCount() - 1));
        HexData->scrollToBottom();
    });

    lblStatus = new QLabel(statusBar());
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addWidget(lblStatus, 1);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusMs);
    connect(m_statusTimer, &QTimer::timeout, this, [this] { UpdateStatus(); });

    // Loading made visible: holding Save (or its small arrow) offers Load
    // and the recent files; the right click on Save still loads at once.
    SaveMenu = new QMenu(btSave);
    SaveMenu->setObjectName(QStringLiteral("SaveMenu"));
    connect(SaveMenu, &QMenu::aboutToShow, this, [this] { FillSaveMenu(); });
    btSave->setMenu(SaveMenu);
    btSave->setPopupMode(QToolButton::DelayedPopup);
    FillSaveMenu();

    CreateContextMenus();
}

void TfrmMain::CreateContextMenus()
{
    HexData->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(HexData, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* copy = menu.addAction(QStringLiteral("Copy row\tCtrl+C"), this, [this] { CopyRows(); });
        copy->setEnabled(HexData->SelectedRow() >= 0);
        menu.addAction(QStringLiteral("Copy rows shown"), this, [this] { CopyShownRows(); });
        menu.addSeparator();
        QAction* call = menu.addAction(QStringLiteral("Only this call"), this, [this] {
            FilterBar->show();
            FilterBar->cbOneCall->setChecked(true);
        });
        call->setEnabled(m_calls.CallOf(HexData->SelectedRow()) >= 0);
        menu.addAction(QStringLiteral("Filter\u2026\tCtrl+L"), this, [this] { ShowFilterBar(); });
        menu.addAction(QStringLiteral("Find\u2026\tCtrl+F"), this, [this] { ShowSearchBar(); });
        menu.addAction(actCalls);
        menu.exec(HexData->viewport()->mapToGlobal(at));
    });

    DecodeTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DecodeTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        const bool node = DecodeTree->currentItem() != nullptr;
        menu.addAction(QStringLiteral("Copy\tCtrl+C"), this, [this] { CopyNode(false); })->setEnabled(node);
        menu.addAction(QStringLiteral("Copy with children"), this, [this] { CopyNode(true); })->setEnabled(node);
        menu.addAction(QStringLiteral("Copy decode"), this, [this] { CopyDecode(); })
            ->setEnabled(HexData->SelectedRow() >= 0);
        menu.addSeparator();
        menu.addAction(QStringLiteral("Expand all"), DecodeTree, &QTreeView::expandAll);
        menu.addAction(QStringLiteral("Collapse all"), DecodeTree, &QTreeView::collapseAll);
        menu.exec(DecodeTree->viewport()->mapToGlobal(at));
    });
}

void TfrmMain::ShowFilterBar()
{
    FilterBar->FocusText();
}

void TfrmMain::CloseFilterBar()
{
    FilterBar->ClearChoices();
    FilterBar->hide();
    HexData->setFocus();
}

void TfrmMain::ApplyFilter()
{
    TTraceFilter filter;
    filter.Text = TTextMatch(FilterBar->Text());
    filter.Direction = FilterBar->Direction();
    filter.Layer3Only = FilterBar->Layer3Only();
    filter.Call = m_panelCall >= 0 ? m_panelCall : m_oneCall;
    HexData->SetRowFilter(RowFilter(filter, HexData->Rows(), m_calls));
    UpdateStatus();
}

void TfrmMain::ShowSearchBar()
{
    SearchBar->FocusText();
}

bool TfrmMain::FindNext(bool backwards)
{
    const TTextMatch text(SearchBar->Text());
    if (text.IsEmpty()) {
        ShowSearchBar();
        return false;
    }
    HexData->FlushRows();
    // A search through the decodes of a million rows takes a second or two:
    // say so while it runs.
    statusBar()->showMessage(QStringLiteral("Searching\u2026"));
    statusBar()->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const qsizetype from = HexData->ShownRowOf(HexData->SelectedRow());
    const qsizetype found = FindShownRow(
        HexData->Rows(), HexData->ShownRowCount(), [this](qsizetype shown) { return HexData->StoredRowOf(shown); },
        from, backwards, text);
    QApplication::restoreOverrideCursor();
    statusBar()->clearMessage();
    if (found < 0) {
        SearchBar->SetResult(QStringLiteral("not found"));
        return false;
    }
    SearchBar->SetResult({});
    const qsizetype row = HexData->StoredRowOf(found);
    if (row == HexData->SelectedRow())
        DecodeRow(row); // the only match: its decode again, for the highlight
    else
        HexData->SelectRow(row);
    HighlightInTree(text.Text());
    return true;
}

void TfrmMain::HighlightInTree(const QString& text)
{
    const TTextMatch match(text);
    const QBrush marked = TRowColours::For(DecodeTree->palette()).Emphasis;
    QTreeWidgetItem* first = nullptr;
    for (QTreeWidgetItemIterator it(DecodeTree); *it != nullptr; ++it) {
        if (!match.In((*it)->text(0)))
            continue;
        (*it)->setBackground(0, marked);
        if (first == nullptr)
            first = *it;
    }
    if (first == nullptr)
        return;
    for (QTreeWidgetItem* parent = first->parent(); parent != nullptr; parent = parent->parent())
        parent->setExpanded(true);
    DecodeTree->setCurrentItem(first);
    DecodeTree->scrollToItem(first);
}

void TfrmMain::ShowCalls(bool show)
{
    CallsPanel->setVisible(show);
}

void TfrmMain::CallsPanelSelectCall(int call)
{
    m_panelCall = call;
    m_emphasisedCall = call >= 0 ? call : m_calls.CallOf(HexData->SelectedRow());
    ApplyFilter();
    HexData->viewport()->update();
}

QString TfrmMain::SelectedRowsText() const
{
    const qsizetype row = HexData->SelectedRow();
    if (row < 0)
        return {};
    return QString::fromUtf8(LogLine(HexData->Rows().Texts(row), kLogDelimiter));
}

QString TfrmMain::ShownRowsText() const
{
    QByteArray text;
    for (qsizetype shown = 0; shown < HexData->ShownRowCount(); ++shown)
        text += LogLine(HexData->Rows().Texts(HexData->StoredRowOf(shown)), kLogDelimiter);
    return QString::fromUtf8(text);
}

QString TfrmMain::DecodeText() const
{
    const qsizetype row = HexData->SelectedRow();
    if (row < 0)
        return {};
    const QString dataText = HexData->Text(row, kDataColumn);
    if (!IsFrameRow(HexData->Text(row, 0), HexData->Text(row, 1), dataText))
        return Lines(TextRowLines(HexData->Rows().Texts(row)));
    const QByteArray octets = ParseDataColumn(dataText);
    TMemoryTree tree;
    return Lines(FrameTextLines(reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()),
                                btL2Display->isChecked(), tree));
}

QString TfrmMain::NodeText(const QTreeWidgetItem* item, bool withChildren)
{
    if (item == nullptr)
        return {};
    if (!withChildren)
        return OneLine(item->text(0));
    QStringList lines;
    AddNodeLines(item, 0, lines);
    return Lines(lines);
}

void TfrmMain::CopyRows()
{
    const QString text = SelectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TfrmMain::CopyShownRows()
{
    QApplication::clipboard()->setText(ShownRowsText());
}

void TfrmMain::CopyNode(bool withChildren)
{
    const QString text = NodeText(DecodeTree->currentItem(), withChildren);
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TfrmMain::CopyDecode()
{
    const QString text = DecodeText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

QString TfrmMain::StatusText() const
{
    const qsizetype total = HexData->RowCount();
    if (total == 0 && !HexData->Filtered() && !btStop->isChecked())
        return {};
    QString text = HexData->Filtered() ? QStringLiteral("%1 / %2 rows").arg(HexData->ShownRowCount()).arg(total)
                                       : QStringLiteral("%1 rows").arg(total);
    text += btStop->isChecked() ? QStringLiteral(" \u00B7 trace off") : QStringLiteral(" \u00B7 trace on");
    if (!m_calls.Calls().empty())
        text += QStringLiteral(" \u00B7 %1 calls").arg(m_calls.Calls().size());
    return text;
}

void TfrmMain::ScheduleStatus()
{
    if (!m_statusTimer->isActive())
        m_statusTimer->start();
}

void TfrmMain::UpdateStatus()
{
    m_statusTimer->stop();
    HexData->FlushRows(); // the count shown is what the list shows
    lblStatus->setText(StatusText());
}

void TfrmMain::ShowHint(QObject* watched, const QPoint& at)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr)
        return;
    // The hint is the system's text; the keys that reach the button follow it.
    QString tip = watched == static_cast<QObject*>(ToolBar1) ? QString::fromLatin1(kAboutKeyHint) : widget->toolTip();
    for (const TKeyHint& hint : kKeyHints)
        if (widget->objectName() == QLatin1String(hint.name))
            tip += QString::fromUtf8(hint.keys);
    QToolTip::showText(at, tip, widget);
}
