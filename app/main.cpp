// Program entry: the application titled "Vessik", the main window, then the
// about box, then the event loop.

#include "AboutBox.h"
#include "CommandLine.h"
#include "ExecutableVersion.h"
#include "Icons.h"
#include "MainWindow.h"
#include "VersionInfo.h"

#include <QApplication>
#include <QSettings>
#include <QTextStream>

namespace {

constexpr int kUsageError = 2;

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vessik"));
    QApplication::setApplicationVersion(VersionText(ExecutableVersionInfo()));
    QApplication::setWindowIcon(ProgramIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const TCommandLine line = ParseCommandLine(arguments, QString::fromLatin1(TfrmMain::kDefaultDriver));
    if (!line.Error.isEmpty()) {
        QTextStream(stderr) << "vessik: " << line.Error << "\n\n" << CommandLineUsage();
        return kUsageError;
    }
    if (line.ShowHelp) {
        QTextStream(stdout) << CommandLineUsage();
        return 0;
    }
    if (line.ShowVersion) {
        QTextStream(stdout) << "Vessik " << QApplication::applicationVersion() << '\n';
        return 0;
    }

    // The window remembers its layout in the user's configuration folder.
    TfrmMain::SetSettingsFile(
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vessik"), QStringLiteral("Vessik"))
            .fileName());
    TfrmMain frmMain(line.Driver);
    TAboutBox aboutBox(ExecutableVersionInfo());
    // An open about box does not keep the program running after the window closed.
    aboutBox.setAttribute(Qt::WA_QuitOnClose, false);
    frmMain.SetAboutBox(&aboutBox);
    frmMain.show();
    if (!line.LogFile.isEmpty() && !frmMain.LoadLog(line.LogFile))
        QTextStream(stderr) << "vessik: could not load " << line.LogFile << '\n';
    return app.exec();
}
