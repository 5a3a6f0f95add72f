#pragma once
// vessik-cli trace [--driver LIB] [--l2] [--count N] [--log FILE] [--pcap FILE]:
// a live D-channel trace on the console, one trace line per output line, or
// as a pcap capture for a packet analyser.

#include <QStringList>

// args are the arguments after "trace". Returns the exit status: 0 after
// the count was reached or SIGINT/SIGTERM; 1 when the device, the trace,
// the log or the capture file failed; 2 for a bad argument.
int RunTrace(const QStringList& args);

// Usage text of the subcommand.
QString TraceUsage();
