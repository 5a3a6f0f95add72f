#pragma once
// What reading a capture file came to, told on standard error the same way
// by every command that reads one.

#include "CaptureRows.h"

#include <QString>

// Prints the notes (directions, skipped packets) and any failure; returns the
// exit status: 0 when the file was read whole, 1 when it could not be opened
// or was damaged or cut short.
int ReportCaptureLoad(const QString& command, const QString& fileName, const TCaptureLoad& load);
