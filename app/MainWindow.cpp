#include "MainWindow.h"

#include "AboutBox.h"
#include "AboutCommand.h"
#include "CallsPanel.h"
#include "CaptureFiles.h"
#include "CaptureReader.h"
#include "FilterBar.h"
#include "FrameDecoder.h"
#include "Icons.h"
#include "ListGrid.h"
#include "RowColours.h"
#include "SearchBar.h"
#include "TFCapi20.h"
#include "TraceLine.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Tool-bar buttons: caption, hint, image, check button.
struct TToolButtonEntry {
    const char* name;
    const char* caption;
    const char* hint;
    TToolImage image;
    bool checkable;
};

constexpr TToolButtonEntry kToolButtons[] = {
    {"btClear", "Clear", "Clear trace", TToolImage::Clear, false},
    {"btSave", "Save", "Save trace", TToolImage::Save, false},
    {"btStop", "Stop", "Stop tracing", TToolImage::Stop, true},
    {"btL2Display", "Layer 2", "Layer 2 details", TToolImage::Layer2, true},
};

// The widths suit a small dialog font. Where the desktop's font is larger a
// column grows until its sample fits: a time stamp and the longest message
// name are read whole; Data is read in edtData.
struct TColumnSpec {
    const char* caption;
    int width;
    const char* sample;
};

constexpr TColumnSpec kColumns[] = {{"Time", 72, "00:00:00,000"},
                                    {"T/R", 40, nullptr},
                                    {"Message", 132, "connect acknowledge(05)"},
                                    {"Data", 256, nullptr}};
constexpr int kCellPadding = 24; // the cell's margins and focus frame

constexpr int kHexDataWidth = 297;
constexpr int kFailureShownMs = 8000;
constexpr int kDataColumn = 3;

QString& SettingsFileName()
{
    static QString name;
    return name;
}

QString DefaultRunFileDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace

QString DroppedLogFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return url.toLocalFile();
    return {};
}

TfrmMain::TfrmMain(const QString& driver, QWidget* parent)
    : QMainWindow(parent)
    , RunFileDialog(DefaultRunFileDialog)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vessik"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    resize(680, 442);

    // The component with the settings of this window: tracing only.
    Capi20 = std::make_unique<TCapi20>(this);
    Capi20->setIncomingCalls({});
    Capi20->setCIP(TCIPType::CIPData_X75);
    Capi20->setController(1);
    Capi20->setInfoMsg({});
    Capi20->setWideband(false);
    Capi20->setPresentation(true);
    Capi20->setHandsetCall(false);
    Capi20->setBufferOutData(true);
    Capi20->setDirectInData(true);
    Capi20->setPowerManagement(false);
    Capi20->setPrefixNational(QStringLiteral("0"));
    Capi20->setPrefixInternational(QStringLiteral("00"));
    Capi20->setDoRegisterRequestRecipient(true);
    Capi20->OnL3Trace = [this](uint32_t plciNcci, const QString& info) { Capi20L3Trace(plciNcci, info); };

    CreateToolBar();
    CreateTraceView();
    CreateTray();

    ActionTimer = new QTimer(this);
    ActionTimer->setObjectName(QStringLiteral("ActionTimer"));
    ActionTimer->setInterval(kBlinkMs);
    connect(ActionTimer, &QTimer::timeout, this, [this] { ActionTimerTimer(); });

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);

    // Ctrl+S and Ctrl+O as users expect them; F1 asks for the about box.
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] { btSaveClick(); });
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, [this] { OpenLogClick(); });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { PostSysCommand(this, kAboutCommand); });

    About1 = new QAction(QString::fromLatin1(kAboutCaption), this);
    About1->setObjectName(QStringLiteral("About1"));
    connect(About1, &QAction::triggered, this, [this] { PostSysCommand(this, kAboutCommand); });

    CreateAnalysis();
    FormCreate(driver);
    RestoreSettings();
}

void TfrmMain::SetSettingsFile(const QString& fileName)
{
    SettingsFileName() = fileName;
}

QString TfrmMain::SettingsFile()
{
    return SettingsFileName();
}

TfrmMain::~TfrmMain()
{
    Capi20->CloseDevice(); // does nothing when the close already did it
    Capi20->OnL3Trace = nullptr;
    // The list paints while its widgets are taken down, after this window's
    // own members are gone: its rows must no longer ask for the call in view.
    if (auto* rows = dynamic_cast<TTraceRowDelegate*>(HexData->itemDelegate()))
        rows->Emphasised = nullptr;
}

void TfrmMain::CreateToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("CoolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);

    const QList<QPixmap> images = ToolBarImages();
    for (const TToolButtonEntry& entry : kToolButtons) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setText(QString::fromLatin1(entry.caption));
        button->setToolTip(QString::fromLatin1(entry.hint));
        button->setIcon(QIcon(images.value(int(entry.image))));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setCheckable(entry.checkable);
        button->setMinimumSize(42, 52);
        button->setAutoRaise(true);
        // A right click belongs to the button (it loads on Save), not to a menu.
        button->setContextMenuPolicy(Qt::PreventContextMenu);
        ToolBar1->addWidget(button);
        if (entry.image == TToolImage::Clear)
            btClear = button;
        else if (entry.image == TToolImage::Save)
            btSave = button;
        else if (entry.image == TToolImage::Stop)
            btStop = button;
        else
            btL2Display = button;
    }
    connect(btClear, &QToolButton::clicked, this, [this] { btClearClick(); });
    connect(btSave, &QToolButton::clicked, this, [this] { btSaveClick(); });
    connect(btStop, &QToolButton::clicked, this, [this] { btStopClick(); });
    connect(btL2Display, &QToolButton::clicked, this, [this] { btL2DisplayClick(); });
    btSave->installEventFilter(this);
    for (QToolButton* button : {btClear, btSave, btStop, btL2Display})
        button->installEventFilter(this);
    ToolBar1->installEventFilter(this);
}

void TfrmMain::CreateTraceView()
{
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Splitter1 = new QSplitter(Qt::Horizontal, client);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);

    HexData = new TListGrid(Splitter1);
    HexData->setObjectName(QStringLiteral("HexData"));
    for (const TColumnSpec& column : kColumns) {
        int width = column.width;
        if (column.sample != nullptr)
            width = std::max(width, HexData->fontMetrics().horizontalAdvance(QString::fromLatin1(column.sample))
                                        + kCellPadding);
        HexData->AddColumn(QString::fromLatin1(column.caption), width);
    }
    HexData->setMinimumWidth(64);
    HexData->OnChange = [this] { HexDataChange(); };
    HexData->OnSelectItem = [this](qsizetype row, bool selected) { HexDataSelectItem(row, selected); };
    connect(HexData, &QAbstractItemView::clicked, this, [this] { HexDataClick(); });
    // Follow new rows while the list is scrolled to its end; leave the user
    // where he is when he scrolled up to read.
    QAbstractItemModel* model = HexData->model();
    // A row the user selected holds the list until he goes back to the end.
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = HexData->verticalScrollBar();
        m_followRows = bar->value() >= bar->maximum() && !m_holdRows;
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followRows)
            HexData->scrollToBottom();
    });

    DecodeTree = new QTreeWidget(Splitter1);
    DecodeTree->setObjectName(QStringLiteral("DecodeTree"));
    DecodeTree->setHeaderHidden(true);
    DecodeTree->setIndentation(19);
    DecodeTree->setMinimumSize(64, 64);
    DecodeTree->setUniformRowHeights(true);
    DecodeTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    DecodeTree->header()->setStretchLastSection(false);
    m_decodeTree = std::make_unique<TTreeWidgetDecodeTree>(*DecodeTree);

    Splitter1->addWidget(HexData);
    Splitter1->addWidget(DecodeTree);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    // The designed pane shows Time, T/R and Message whole; it widens by as
    // much as those columns grew for the font.
    int grown = 0;
    for (int column = 0; column < 3; ++column)
        grown += HexData->columnWidth(column) - kColumns[column].width;
    const int paneWidth = kHexDataWidth + grown;
    Splitter1->setSizes({paneWidth, std::max(680 - paneWidth, 300)});
    layout->addWidget(Splitter1, 1);

    // The filter and find bars stay hidden until asked for (Ctrl+L, Ctrl+F).
    FilterBar = new TFilterBar(client);
    FilterBar->hide();
    SearchBar = new TSearchBar(client);
    SearchBar->hide();
    layout->insertWidget(0, FilterBar);
    layout->insertWidget(1, SearchBar);

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(35);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(7, 7, 7, 5);
    edtData = new QLineEdit(Panel1);
    edtData->setObjectName(QStringLiteral("edtData"));
    edtData->setReadOnly(true);
    panelLayout->addWidget(edtData);
    layout->addWidget(Panel1);

    setCentralWidget(client);
}

void TfrmMain::CreateTray()
{
    const QList<QPixmap> images = TrayImages();
    for (const QPixmap& image : images)
        m_trayImages.append(QIcon(image));

    TrayPopupMenu = new QMenu(this);
    TrayPopupMenu->setObjectName(QStringLiteral("TrayPopupMenu"));
    Restore1 = TrayPopupMenu->addAction(QStringLiteral("&Restore"));
    Restore1->setObjectName(QStringLiteral("Restore1"));
    Exit1 = TrayPopupMenu->addAction(QStringLiteral("&Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Restore1, &QAction::triggered, this, [this] { TrayIconDblClick(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });

    // Without a system tray the window simply has no tray icon; the images
    // are still followed so a tray that the desktop offers later is not needed.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayIcon = new QSystemTrayIcon(m_trayImages.value(0), this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    m_trayIcon->setToolTip(QStringLiteral("Vessik"));
    m_trayIcon->setContextMenu(TrayPopupMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            TrayIconDblClick();
    });
    m_trayIcon->show();
}

void TfrmMain::FormCreate(const QString& driver)
{
    // The "&About" command reaches the application-wide filter.
    m_aboutFilter = new TAboutCommandFilter(this);
    m_aboutFilter->OnAbout = [this] { ShowAboutCommand(); };
    qApp->installEventFilter(m_aboutFilter);

    Capi20->OpenDevice(driver); // without a device the window still runs
    Capi20->StartTrace();
    SetTrayImage(0);
    setWindowTitle(windowTitle() + QStringLiteral(": ") + Capi20->GetManufacturer());
}

void TfrmMain::ShowAboutCommand()
{
    if (m_aboutBox != nullptr)
        m_aboutBox->ShowAbout();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    SaveSettings();
    Capi20->CloseDevice();
    ActionTimer->stop();
    if (m_trayIcon != nullptr)
        m_trayIcon->hide();
    event->accept();
}

QMenu* TfrmMain::createPopupMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(About1);
    return menu;
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createPopupMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedLogFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QString file = DroppedLogFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    LoadLog(file);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        ShowHint(watched, static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
    if (watched == btSave && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && btSave->rect().contains(mouse->position().toPoint())) {
            btSaveMouseUp(mouse->button());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::btClearClick()
{
    HexData->ClearRows();
    m_decodeTree->Clear();
    edtData->clear();
    m_calls.Clear();
    m_emphasisedCall = -1;
    // A call filter names a call of the rows that went.
    if (m_panelCall >= 0 || FilterBar->OneCall()) {
        m_panelCall = -1;
        m_oneCall = -1;
        FilterBar->DropOneCall();
        ApplyFilter();
    }
    if (CallsPanel->isVisible())
        CallsPanel->Refresh();
    UpdateStatus();
}

std::unique_ptr<QFileDialog> TfrmMain::CreateSaveDialog()
{
    auto dialog = std::make_unique<QFileDialog>(this, QStringLiteral("Save Vessik log"));
    dialog->setObjectName(QStringLiteral("SaveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("Vessik log (*.log)"));
    dialog->setDefaultSuffix(QStringLiteral("log"));
    AddCaptureFilters(*dialog);
    dialog->selectFile(QString::fromLatin1(kLogFileName));
    return dialog;
}

std::unique_ptr<QFileDialog> TfrmMain::CreateOpenDialog()
{
    auto dialog = std::make_unique<QFileDialog>(this, QStringLiteral("Load Vessik log"));
    dialog->setObjectName(QStringLiteral("OpenDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("vessik.log (*.log)"));
    dialog->setDefaultSuffix(QStringLiteral("log"));
    AddCaptureFilters(*dialog);
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setSizeGripEnabled(true);
    dialog->selectFile(QString::fromLatin1(kLogFileName));
    return dialog;
}

bool TfrmMain::SaveLog(const QString& fileName)
{
    const auto capture = CaptureFormatOf(fileName);
    const bool saved = capture ? SaveCapture(*HexData, fileName, *capture)
                               : HexData->SaveToFile(fileName, kLogDelimiter, false);
    if (!saved)
        ReportFailure(QStringLiteral("Could not save %1").arg(fileName));
    else
        AddRecentFile(fileName);
    return saved;
}

bool TfrmMain::LoadLog(const QString& fileName)
{
    // Clearing first would lose the rows on screen for a file that is not there.
    if (!QFileInfo(fileName).isFile()) {
        ReportFailure(QStringLiteral("Could not load %1").arg(fileName));
        return false;
    }
    btClearClick();
    statusBar()->showMessage(QStringLiteral("Loading %1\u2026").arg(QFileInfo(fileName).fileName()));
    statusBar()->repaint(); // a big log takes a while; say so before it starts
    const bool loaded = IsCaptureFile(fileName) ? LoadCapture(*HexData, fileName)
                                                : HexData->LoadFromFile(fileName, kLogDelimiter, false);
    statusBar()->clearMessage();
    m_calls.Update(HexData->Rows());
    UpdateStatus();
    if (!loaded)
        ReportFailure(QStringLiteral("Could not load %1").arg(fileName));
    else
        AddRecentFile(fileName);
    return loaded;
}

void TfrmMain::ReportFailure(const QString& text)
{
    // Quietly, in the status bar: a dialog would stop a running trace view.
    statusBar()->showMessage(text, kFailureShownMs);
}

void TfrmMain::btSaveClick()
{
    const auto dialog = CreateSaveDialog();
    const QString file = RunFileDialog ? RunFileDialog(*dialog) : QString();
    if (!file.isEmpty())
        SaveLog(file);
}

void TfrmMain::btSaveMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        OpenLogClick();
}

void TfrmMain::OpenLogClick()
{
    const auto dialog = CreateOpenDialog();
    const QString file = RunFileDialog ? RunFileDialog(*dialog) : QString();
    if (!file.isEmpty())
        LoadLog(file);
}

void TfrmMain::btStopClick()
{
    // The button has toggled already: down means stopped.
    if (btStop->isChecked())
        Capi20->StopTrace();
    else
        Capi20->StartTrace();
    UpdateStatus();
}

void TfrmMain::btL2DisplayClick()
{
    Capi20->SetL2Display(btL2Display->isChecked());
}

void TfrmMain::Capi20L3Trace(uint32_t /*PLCI_NCCI*/, const QString& Info)
{
    const auto columns = SplitTraceLine(Info);
    if (!columns)
        return;
    HexData->AppendRow(std::span<const QStringView>(*columns));
    m_calls.Update(HexData->Rows());
}

void TfrmMain::HexDataClick()
{
    DecodeRow(HexData->SelectedRow());
}

void TfrmMain::HexDataSelectItem(qsizetype row, bool selected)
{
    if (!selected) {
        m_holdRows = false;
        return;
    }
    m_holdRows = HexData->ShownRowOf(row) < HexData->ShownRowCount() - 1;
    if (m_panelCall < 0) {
        m_emphasisedCall = m_calls.CallOf(row);
        HexData->viewport()->update();
    }
    DecodeRow(row);
}

void TfrmMain::DecodeRow(qsizetype row)
{
    if (row < 0 || row >= HexData->RowCount())
        return;
    const QString dataText = HexData->Text(row, kDataColumn);
    if (!IsFrameRow(HexData->Text(row, 0), HexData->Text(row, 1), dataText)) {
        // A driver that traces text: its lines, not a frame made of them.
        edtData->setText(dataText);
        edtData->setCursorPosition(0);
        DecodeTree->setUpdatesEnabled(false);
        m_decodeTree->Clear();
        for (const QString& line : TextRowLines(HexData->Rows().Texts(row)))
            m_decodeTree->AddChild(kTopLevel, line);
        DecodeTree->setUpdatesEnabled(true);
        return;
    }
    const QString hex = dataText.toUpper();
    edtData->setText(hex);
    edtData->setCursorPosition(0);
    const QByteArray octets = ParseDataColumn(hex);
    DecodeTree->setUpdatesEnabled(false);
    DecodeFrame(m_decodeTree.get(), reinterpret_cast<const uint8_t*>(octets.constData()), uint32_t(octets.size()));
    DecodeTree->setUpdatesEnabled(true);
}

void TfrmMain::HexDataChange()
{
    SetTrayImage(1);
    ActionTimer->start(); // restarts a running timer
    ScheduleStatus();
}

void TfrmMain::ActionTimerTimer()
{
    SetTrayImage(0);
    ActionTimer->stop();
}

void TfrmMain::SetTrayImage(int image)
{
    if (m_trayImage == image && image == 1)
        return; // already blinking; setting the icon again costs a repaint per row
    m_trayImage = image;
    if (m_trayIcon != nullptr)
        m_trayIcon->setIcon(m_trayImages.value(image));
}

void TfrmMain::TrayIconDblClick()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmMain::Exit1Click()
{
    close();
}
