#pragma once
// vessik-cli forward list|show|set|clear: shows and changes call forwarding
// through the CAPI component, by CAPI facilities or, when the controller does
// not offer call forwarding, by diversion operations of its own.

#include <QStringList>

// args are the arguments after "forward". Returns the exit status: 0 on
// success; 1 when the device could not be opened, the network refused the
// request or gave no answer within 10 seconds; 2 for a bad argument.
int RunForward(const QStringList& args);

QString ForwardUsage();
