#pragma once
// vessik-cli monitor: hosts TCapi20 as a call monitor and prints one line per
// event it fires (the line format is in MonitorFormat.h).

#include <QStringList>

// args are the arguments after "monitor". Returns the exit status: 0 after
// the count was reached or SIGINT/SIGTERM; 1 when the device could not be
// opened or was lost; 2 for a bad argument.
int RunMonitor(const QStringList& args);

QString MonitorUsage();
