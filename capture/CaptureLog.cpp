#include "CaptureLog.h"

#include "LogFile.h"
#include "LogFormat.h"
#include "LogRows.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

namespace {

constexpr qsizetype kBatchRows = 8192;
constexpr qsizetype kWriteBlock = qsizetype(1) << 20;

// The day a log's first row was traced on.
QDate LogDate(const QString& logFile)
{
    const QDateTime modified = logFile == QLatin1String("-") ? QDateTime() : QFileInfo(logFile).lastModified();
    return modified.isValid() ? modified.date() : QDate::currentDate();
}

std::unique_ptr<QFileDevice> OpenLogInput(const QString& logFile)
{
    auto file = std::make_unique<QFile>();
    if (logFile == QLatin1String("-"))
        return file->open(stdin, QIODevice::ReadOnly) ? std::move(file) : nullptr;
    // A pipe or device given by name could block or never end.
    if (!QFileInfo(logFile).isFile())
        return nullptr;
    file->setFileName(logFile);
    return file->open(QIODevice::ReadOnly) ? std::move(file) : nullptr;
}

std::unique_ptr<QFileDevice> OpenLogOutput(const QString& logFile)
{
    if (logFile == QLatin1String("-")) {
        auto out = std::make_unique<QFile>();
        return out->open(stdout, QIODevice::WriteOnly) ? std::move(out) : nullptr;
    }
    // Written under a temporary name, so a failed import leaves an old log as it was.
    auto out = std::make_unique<QSaveFile>(logFile);
    out->setDirectWriteFallback(true);
    return out->open(QIODevice::WriteOnly) ? std::move(out) : nullptr;
}

bool Complete(QFileDevice& out)
{
    if (auto* save = qobject_cast<QSaveFile*>(&out))
        return save->commit();
    return out.flush();
}

} // namespace

TExportResult ExportLogFile(const QString& logFile, const QString& captureFile, TCaptureFormat format)
{
    TExportResult result;
    const auto in = OpenLogInput(logFile);
    if (!in)
        return result;
    TCaptureWriter writer;
    if (!writer.Open(captureFile, format)) {
        result.LogRead = true;
        result.Error = writer.ErrorString();
        return result;
    }
    TRowExporter exporter(LogDate(logFile), writer);
    bool written = true;
    result.LogRead = ReadLogBatches(*in, u';', kRowColumns, false, kBatchRows, [&](const TLogRows& rows) {
        written = exporter.Add(rows);
        return written;
    });
    result.Counts = exporter.Counts();
    if (!written) {
        result.LogRead = true;
        result.Error = writer.ErrorString();
        return result;
    }
    if (!result.LogRead)
        return result; // the writer is dropped with its temporary file
    result.Written = writer.Close();
    result.Error = writer.ErrorString();
    return result;
}

TImportResult ImportCaptureFile(const QString& captureFile, const QString& logFile, bool layer2)
{
    TImportResult result;
    const auto out = OpenLogOutput(logFile);
    QByteArray block;
    bool written = out != nullptr;
    if (written)
        block.append(kLogBom, kLogBomSize);
    std::array<QStringView, kRowColumns> views;
    result.Load = LoadCapture(captureFile, layer2, [&](const TCaptureRowTexts& texts, const QByteArray&) {
        if (!written)
            return true; // still read, for the notes on the capture
        for (int i = 0; i < kRowColumns; ++i)
            views[size_t(i)] = texts[size_t(i)];
        block += LogLine(std::span<const QStringView>(views), u';');
        if (block.size() >= kWriteBlock) {
            written = out->write(block) == block.size();
            block.resize(0);
        }
        return true;
    });
    // Nothing is written for a file that is no capture at all.
    if (!result.Load.Opened) {
        if (auto* save = qobject_cast<QSaveFile*>(out.get()))
            save->cancelWriting();
        return result;
    }
    result.Written = written && out->write(block) == block.size() && Complete(*out);
    return result;
}
