#pragma once
// Log file to capture file and back, streamed: neither holds the whole log
// or capture in memory.

#include "CaptureRows.h"
#include "CaptureWriter.h"

#include <QString>

struct TExportResult {
    bool LogRead = false;
    bool Written = false;
    QString Error; // why the capture could not be written
    TExportCounts Counts;
};

// logFile "-" is standard input, dated today: a log holds times of day only,
// which otherwise stand on the day the log file was last written.
TExportResult ExportLogFile(const QString& logFile, const QString& captureFile, TCaptureFormat format);

struct TImportResult {
    TCaptureLoad Load;
    bool Written = false; // the log holds every row read (also of a damaged capture)
};

// logFile "-" is standard output.
TImportResult ImportCaptureFile(const QString& captureFile, const QString& logFile, bool layer2);
