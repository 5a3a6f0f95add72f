// What the window remembers between runs: its geometry and docks, the
// splitter, the columns, the layer-2 switch, the bars shown and the recent
// files. Nothing is read or written unless a settings file was named, so a
// first start (or a test) looks exactly as the window is designed.

#include "MainWindow.h"

#include "CallsPanel.h"
#include "FilterBar.h"
#include "ListGrid.h"
#include "TFCapi20.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QToolButton>

namespace {

constexpr auto kGeometry = "window/geometry";
constexpr auto kState = "window/state";
constexpr auto kSplitter = "window/splitter";
constexpr auto kColumns = "window/columns";
constexpr auto kLayer2 = "window/layer2";
constexpr auto kFilterBar = "window/filterBar";
constexpr auto kCalls = "window/calls";
constexpr auto kRecent = "recentFiles";
constexpr int kStateVersion = 1;
constexpr int kDesignedWidth = 680;
constexpr int kDesignedHeight = 442;

QString Key(const char* key)
{
    return QString::fromLatin1(key);
}

} // namespace

void TfrmMain::RestoreSettings()
{
    if (SettingsFile().isEmpty())
        return;
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return;
    // Sizes saved are only ever grown to the designed minimums.
    restoreGeometry(settings.value(Key(kGeometry)).toByteArray());
    resize(size().expandedTo(QSize(kDesignedWidth, kDesignedHeight)));
    m_callsSized = restoreState(settings.value(Key(kState)).toByteArray(), kStateVersion);
    Splitter1->restoreState(settings.value(Key(kSplitter)).toByteArray());
    HexData->header()->restoreState(settings.value(Key(kColumns)).toByteArray());
    if (settings.value(Key(kLayer2), false).toBool() != btL2Display->isChecked()) {
        btL2Display->setChecked(!btL2Display->isChecked());
        btL2DisplayClick();
    }
    FilterBar->setVisible(settings.value(Key(kFilterBar), false).toBool());
    CallsPanel->setVisible(settings.value(Key(kCalls), false).toBool());
    m_recentFiles = settings.value(Key(kRecent)).toStringList().mid(0, kMaxRecentFiles);
    FillSaveMenu();
}

void TfrmMain::SaveSettings() const
{
    if (SettingsFile().isEmpty())
        return;
    QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.setValue(Key(kGeometry), saveGeometry());
    settings.setValue(Key(kState), saveState(kStateVersion));
    settings.setValue(Key(kSplitter), Splitter1->saveState());
    settings.setValue(Key(kColumns), HexData->header()->saveState());
    settings.setValue(Key(kLayer2), btL2Display->isChecked());
    settings.setValue(Key(kFilterBar), FilterBar->isVisible());
    settings.setValue(Key(kCalls), CallsPanel->isVisible());
    settings.setValue(Key(kRecent), m_recentFiles);
}

void TfrmMain::AddRecentFile(const QString& fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kMaxRecentFiles)
        m_recentFiles.removeLast();
}

void TfrmMain::FillSaveMenu()
{
    SaveMenu->clear();
    actLoad = SaveMenu->addAction(QStringLiteral("Load\u2026\tCtrl+O"), this, [this] { OpenLogClick(); });
    actLoad->setObjectName(QStringLiteral("actLoad"));
    if (m_recentFiles.isEmpty())
        return;
    SaveMenu->addSeparator();
    for (const QString& file : m_recentFiles) {
        QAction* recent = SaveMenu->addAction(QFileInfo(file).fileName(), this, [this, file] { LoadLog(file); });
        recent->setToolTip(file);
        recent->setData(file);
    }
}
