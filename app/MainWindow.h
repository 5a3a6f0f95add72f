#pragma once
// TfrmMain: the tool's working window. It owns the CAPI component, opens the
// device and switches the D-channel trace on when it is created, shows one
// row per traced frame, decodes the selected row into the tree, saves and
// loads the rows as a log file, and blinks a tray icon while frames arrive.
// For the analysis of a trace it filters and searches the rows, sorts them
// into calls, copies rows and decodes, and remembers its layout.

#include "CallIndex.h"
#include "TreeWidgetDecodeTree.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QAction;
class QSplitter;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TAboutBox;
class TAboutCommandFilter;
class TCallsPanel;
class TCapi20;
class TFilterBar;
class TListGrid;
class TSearchBar;
class QTreeWidgetItem;

class TfrmMain : public QMainWindow {
public:
    // The default driver; the component maps it to the platform's CAPI library.
    static constexpr auto kDefaultDriver = "capi2032.dll";
    static constexpr auto kLogFileName = "vessik.log";
    static constexpr QChar kLogDelimiter = u';';
    static constexpr int kBlinkMs = 1000;
    static constexpr int kMaxRecentFiles = 8;

    // Where windows made from now on keep their layout (an INI file); none
    // by default, so a window that is not told remembers nothing.
    static void SetSettingsFile(const QString& fileName);
    static QString SettingsFile();

    explicit TfrmMain(const QString& driver = QString::fromLatin1(kDefaultDriver), QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The about box the "&About" command shows; created after the window.
    void SetAboutBox(TAboutBox* aboutBox) { m_aboutBox = aboutBox; }
    TAboutBox* AboutBox() const { return m_aboutBox; }

    // Clears, then loads a log file; false when it could not be read.
    bool LoadLog(const QString& fileName);
    bool SaveLog(const QString& fileName);
    // Files loaded or saved, the newest first.
    QStringList RecentFiles() const { return m_recentFiles; }

    // The save and open dialogs, configured but not run.
    std::unique_ptr<QFileDialog> CreateSaveDialog();
    std::unique_ptr<QFileDialog> CreateOpenDialog();
    // Runs a dialog and returns the chosen file, "" when cancelled. Replaceable
    // so that the dialogs need no user in tests.
    std::function<QString(QFileDialog&)> RunFileDialog;

    // The tray image shown (0 = idle, 1 = activity), also without a tray.
    int TrayImage() const { return m_trayImage; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }

    // Handlers.
    void btClearClick();
    void btSaveClick();
    void btSaveMouseUp(Qt::MouseButton button);
    void OpenLogClick();
    void btStopClick();
    void btL2DisplayClick();
    void Capi20L3Trace(uint32_t PLCI_NCCI, const QString& Info);
    void HexDataClick();
    void HexDataSelectItem(qsizetype row, bool selected);
    void HexDataChange();
    void ActionTimerTimer();
    void TrayIconDblClick();
    void Exit1Click();
    void ShowAboutCommand();

    // Filter bar, find bar and the Calls panel.
    void ShowFilterBar();
    void CloseFilterBar();
    void ApplyFilter();
    void ShowSearchBar();
    // Selects the next (previous) shown row that holds the find bar's text;
    // false when none does.
    bool FindNext(bool backwards = false);
    void ShowCalls(bool show);
    void CallsPanelSelectCall(int call);
    // The call whose rows are emphasised, -1 when none.
    int EmphasisedCall() const { return m_emphasisedCall; }
    const TCallIndex& Calls() const { return m_calls; }

    // What the copy commands put on the clipboard.
    QString SelectedRowsText() const;
    QString ShownRowsText() const;
    QString DecodeText() const;
    static QString NodeText(const QTreeWidgetItem* item, bool withChildren);
    void CopyRows();
    void CopyShownRows();
    void CopyNode(bool withChildren);
    void CopyDecode();

    // The text of the status bar: rows shown and in all, and whether the
    // trace runs; empty while nothing was traced (as on a first start).
    QString StatusText() const;
    // True while the list follows new rows to its end.
    bool FollowsRows() const { return m_followRows; }
    // The window's context menu: the "&About" command.
    QMenu* createPopupMenu() override;

    // Components, by their names in the window.
    std::unique_ptr<TCapi20> Capi20;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* btClear = nullptr;
    QToolButton* btSave = nullptr;
    QToolButton* btStop = nullptr;
    QToolButton* btL2Display = nullptr;
    QSplitter* Splitter1 = nullptr;
    TListGrid* HexData = nullptr;
    QTreeWidget* DecodeTree = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* edtData = nullptr;
    QMenu* TrayPopupMenu = nullptr;
    QAction* Restore1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* About1 = nullptr;
    QTimer* ActionTimer = nullptr;
    TFilterBar* FilterBar = nullptr;
    TSearchBar* SearchBar = nullptr;
    TCallsPanel* CallsPanel = nullptr;
    QMenu* SaveMenu = nullptr;
    QAction* actLoad = nullptr;
    QAction* actCalls = nullptr;
    QLabel* lblStatus = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QString& driver);
    void CreateToolBar();
    void CreateTraceView();
    void CreateTray();
    void SetTrayImage(int image);
    void DecodeRow(qsizetype row);
    void ReportFailure(const QString& text);
    void CreateAnalysis();
    void CreateContextMenus();
    void ScheduleStatus();
    void UpdateStatus();
    void AddRecentFile(const QString& fileName);
    void FillSaveMenu();
    void ShowHint(QObject* button, const QPoint& at);
    void HighlightInTree(const QString& text);
    void RestoreSettings();
    void SaveSettings() const;

    std::unique_ptr<TTreeWidgetDecodeTree> m_decodeTree;
    TAboutCommandFilter* m_aboutFilter = nullptr;
    TAboutBox* m_aboutBox = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QList<QIcon> m_trayImages;
    int m_trayImage = 0;
    bool m_followRows = true;
    bool m_holdRows = false; // a row the user selected keeps the list where it is
    TCallIndex m_calls;
    int m_emphasisedCall = -1;
    int m_panelCall = -1;   // the call picked in the Calls panel
    int m_oneCall = -1;     // the call "This call" of the filter bar stands for
    QStringList m_recentFiles;
    QTimer* m_statusTimer = nullptr;
    bool m_callsSized = false; // the Calls panel got its first width
};

// The log file a drop names: the first local file, "" when there is none.
QString DroppedLogFile(const QMimeData* mime);
