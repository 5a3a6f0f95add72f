#pragma once
// vessik-cli import --pcap FILE [--l2] LOG: a capture file of LAPD frames as
// a log the window can open.

#include <QStringList>

// args are the arguments after "import". Returns the exit status: 0; 1 when
// the capture is unreadable, damaged or cut short (what could be read is
// still written) or the log cannot be written; 2 for a bad argument.
int RunImport(const QStringList& args);

QString ImportUsage();
