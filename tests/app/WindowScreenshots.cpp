// Renders the window in the states a reviewer looks at, on the simulated
// controller's demo trace: the first start, the live list, the filter and
// find bars, the Calls panel with a ladder, and a dark palette. Run it under
// a real display (Xvfb will do): app_screenshots OUTDIR

#include "CallsPanel.h"
#include "FilterBar.h"
#include "LadderView.h"
#include "ListGrid.h"
#include "MainWindow.h"
#include "SearchBar.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTreeView>

namespace {

void Pump(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

void Shot(QWidget& widget, const QString& dir, const char* name)
{
    Pump(200);
    widget.grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: app_screenshots OUTDIR\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir settings;
    TfrmMain::SetSettingsFile(settings.filePath(QStringLiteral("Vessik.ini")));

    TfrmMain window(QStringLiteral(VESSIK_SIM_LIBRARY));
    window.show();
    Shot(window, out, "01-first-start.png");

    Pump(4000); // the demo trace plays
    Shot(window, out, "02-live.png");

    window.resize(1100, 640);
    window.ShowCalls(true);
    Pump(500);
    window.CallsPanel->SelectCall(0);
    Shot(window, out, "03-calls.png");
    window.CallsPanel->Ladder->SavePng(QDir(out).filePath(QStringLiteral("04-ladder.png")));
    window.CallsPanel->Ladder->SaveSvg(QDir(out).filePath(QStringLiteral("04-ladder.svg")));
    window.CallsPanel->SelectCall(-1);

    window.ShowFilterBar();
    window.FilterBar->edtFilter->setText(QStringLiteral("setup"));
    Pump(400);
    Shot(window, out, "05-filter.png");
    window.CloseFilterBar();

    window.ShowSearchBar();
    window.SearchBar->edtSearch->setText(QStringLiteral("called party"));
    window.FindNext();
    Shot(window, out, "06-search.png");

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::AlternateBase, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(0x3D, 0x7A, 0xD6));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark);
    window.CallsPanel->SelectCall(1);
    Shot(window, out, "07-dark.png");
    window.close();
    return 0;
}
