#pragma once
// vessik-cli decode [--l2] [HEX]...: summary and decode tree of each frame.

#include <QStringList>

// args are the arguments after "decode". Returns the exit status: 0, or 2
// when an argument was not a frame (the other frames are still decoded).
int RunDecode(const QStringList& args);

// Usage text of the subcommand.
QString DecodeUsage();
