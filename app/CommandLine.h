#pragma once
// The command line of the window: vessik [--driver LIB] [LOGFILE].

#include <QString>
#include <QStringList>

struct TCommandLine {
    QString Driver;  // the CAPI driver library
    QString LogFile; // loaded at start; "" for none
    bool ShowHelp = false;
    bool ShowVersion = false;
    QString Error;   // set when the arguments cannot be used
};

// arguments without the program name.
TCommandLine ParseCommandLine(const QStringList& arguments, const QString& defaultDriver);
QString CommandLineUsage();
