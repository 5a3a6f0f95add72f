// An arbitrary log file through the loader (UTF-8, UTF-16 either way round,
// or the 8-bit code page; any line ends; NULs), with and without the image
// field. What loads is saved and loaded again: from the first save on, a log
// must come back byte for byte, or saving would lose or change rows.

#include "LogFile.h"
#include "LogRows.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

constexpr int kColumns = 4; // Time, T/R, Message, Data

QByteArray Save(const TLogRows& rows, bool withImage)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    Check(WriteLog(out, u';', withImage, rows));
    return bytes;
}

void Load(const QByteArray& bytes, bool withImage, TLogRows& rows)
{
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    rows.Clear();
    Check(ReadLog(in, u';', kColumns, withImage, rows));
}

void RoundTrip(const QByteArray& file, bool withImage)
{
    TLogRows rows;
    Load(file, withImage, rows);
    for (qsizetype r = 0; r < rows.Count(); ++r)
        Check(rows.FieldCount(r) == kColumns);

    const QByteArray first = Save(rows, withImage);
    TLogRows again;
    Load(first, withImage, again);
    Check(again.Count() == rows.Count());
    const QByteArray second = Save(again, withImage);
    Check(second == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    RoundTrip(file, false);
    RoundTrip(file, true);
    return 0;
}
