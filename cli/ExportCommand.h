#pragma once
// vessik-cli export --pcap OUT [--pcapng] LOG: a log as a capture file for
// packet analysers.

#include <QStringList>

// args are the arguments after "export". Returns the exit status: 0; 1 when
// the log cannot be read or the capture not written; 2 for a bad argument.
int RunExport(const QStringList& args);

QString ExportUsage();
