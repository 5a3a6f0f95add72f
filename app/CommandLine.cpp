#include "CommandLine.h"

TCommandLine ParseCommandLine(const QStringList& arguments, const QString& defaultDriver)
{
    TCommandLine line;
    line.Driver = defaultDriver;
    bool driverGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            line.ShowHelp = true;
        } else if (!optionsEnded && argument == QLatin1String("--version")) {
            line.ShowVersion = true;
        } else if (!optionsEnded && (argument == QLatin1String("--driver") || argument.startsWith(QLatin1String("--driver=")))) {
            QString value;
            if (argument.size() > 8) {
                value = argument.mid(9);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                line.Error = QStringLiteral("--driver needs the name of a CAPI driver library");
                return line;
            }
            if (value.isEmpty()) {
                line.Error = QStringLiteral("--driver needs the name of a CAPI driver library");
                return line;
            }
            if (driverGiven) {
                line.Error = QStringLiteral("--driver given twice");
                return line;
            }
            driverGiven = true;
            line.Driver = value;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            line.Error = QStringLiteral("unknown option %1").arg(argument);
            return line;
        } else if (line.LogFile.isEmpty() && !argument.isEmpty()) {
            line.LogFile = argument;
        } else {
            line.Error = QStringLiteral("only one log file can be loaded");
            return line;
        }
    }
    return line;
}

QString CommandLineUsage()
{
    return QStringLiteral(
        "Usage: vessik [--driver LIB] [LOGFILE]\n"
        "\n"
        "Traces the D-channel of a CAPI 2.0 ISDN controller.\n"
        "\n"
        "  --driver LIB  the CAPI driver library (default: the platform's CAPI library)\n"
        "  LOGFILE       a saved trace to load at start\n"
        "  --help        this text\n"
        "  --version     the program's version\n");
}
