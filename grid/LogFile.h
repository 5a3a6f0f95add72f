#pragma once
// Reading and writing log files: UTF-8 with a byte-order mark, one row per
// line ending in CR LF. Reading also takes UTF-16 (by its byte-order mark) and
// Windows-1252 (no mark), any of CR LF, CR and LF, and ends at the first NUL.
// Files are streamed in blocks, so a large log never sits in memory twice.

#include "LogRows.h"

#include <QByteArray>
#include <QChar>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringView>
#include <functional>
#include <span>

enum class TLogLoad {
    Loaded,  // every line became a row
    Missing, // no file of that name; nothing was read
    Failed,  // the file could not be opened, read or held; rows are incomplete
};

// Appends one row per line of the text on `device` to `rows`, by the rules of
// TLogRows::AppendLine. False on a read error or when the rows cannot be held.
bool ReadLog(QIODevice& device, QChar delimiter, int columns, bool withImage, TLogRows& rows);
// The same in batches, so a log of any size streams through bounded memory:
// `onBatch` gets the rows read since the last batch (at most `batchRows`,
// the last batch fewer), which are dropped after it; false from it stops the
// reading and makes the result false.
bool ReadLogBatches(QIODevice& device, QChar delimiter, int columns, bool withImage, qsizetype batchRows,
                    const std::function<bool(const TLogRows&)>& onBatch);
TLogLoad LoadLog(const QString& fileName, QChar delimiter, int columns, bool withImage, TLogRows& rows);

// Writes the byte-order mark and one line per row.
bool WriteLog(QIODevice& device, QChar delimiter, bool withImage, const TLogRows& rows);
// Saves through a temporary file that replaces `fileName` only when complete,
// so a failed save leaves an existing log as it was.
bool SaveLog(const QString& fileName, QChar delimiter, bool withImage, const TLogRows& rows);

// One line of the format in UTF-8, CR LF included: [image, delimiter,] the
// texts escaped and trimmed, separated by the delimiter.
QByteArray LogLine(std::span<const QStringView> texts, QChar delimiter, bool withImage = false,
                   int imageIndex = -1);
QByteArray LogLine(const QStringList& texts, QChar delimiter, bool withImage = false, int imageIndex = -1);

// Writes rows to a log file one by one as they arrive (a capture without the
// window); each row is flushed, so the file is always a complete log.
class TLogWriter {
public:
    TLogWriter() = default;
    TLogWriter(const TLogWriter&) = delete;
    TLogWriter& operator=(const TLogWriter&) = delete;

    // Creates or empties the file and writes the byte-order mark. With
    // `append`, rows go after the rows of an existing log instead.
    bool Open(const QString& fileName, QChar delimiter = u';', bool withImage = false, bool append = false);
    bool AppendRow(std::span<const QStringView> texts, int imageIndex = -1);
    bool AppendRow(const QStringList& texts, int imageIndex = -1);
    bool IsOpen() const { return m_file.isOpen(); }
    QString ErrorString() const { return m_file.errorString(); }
    void Close();

private:
    QFile m_file;
    QChar m_delimiter = u';';
    bool m_withImage = false;
};
