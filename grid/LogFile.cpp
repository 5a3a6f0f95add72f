#include "LogFile.h"

#include "LogFormat.h"
#include "TextCodec.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr qsizetype kBlock = qsizetype(4) << 20; // even, so UTF-16 blocks hold whole code units
constexpr qsizetype kWriteBlock = qsizetype(1) << 20;

enum class TEncoding { Utf8, Utf16Le, Utf16Be, Ansi };

// Trace logs are nearly all ASCII; only other lines need a full UTF-8 check.
bool IsAscii(QByteArrayView text)
{
    const char* p = text.data();
    qsizetype n = text.size();
    uint64_t bits = 0;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        bits |= word;
    }
    for (; n > 0; ++p, --n)
        bits |= uint8_t(*p);
    return (bits & 0x8080808080808080ull) == 0;
}

// Fills `buffer` up to its size unless the device ends first; -1 on an error.
qsizetype ReadBlock(QIODevice& device, char* buffer, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        const qint64 n = device.read(buffer + got, size - got);
        if (n < 0)
            return -1;
        if (n == 0) {
            // A sequential device may have nothing yet without being at its end.
            if (!device.isSequential() || !device.waitForReadyRead(-1))
                break;
            continue;
        }
        got += qsizetype(n);
    }
    return got;
}

// Cuts UTF-8 text into lines at CR LF, CR and LF as blocks arrive; a line
// break at the end makes no further line; the text ends at the first NUL.
// Each search remembers how far it looked, so every byte is scanned a bounded
// number of times however the breaks are spread.
class TLineSplitter {
public:
    template <typename Emit>
    void Feed(QByteArrayView data, Emit&& onLine)
    {
        if (m_ended || data.isEmpty())
            return;
        char* to = Prepare(data.size());
        std::memcpy(to, data.data(), size_t(data.size()));
        Commit(data.size(), onLine);
    }

    // Room for `size` more bytes at the end of the text, to read straight into.
    char* Prepare(qsizetype size)
    {
        Compact();
        m_added = m_buffer.size();
        m_buffer.resize(m_added + size);
        return m_buffer.data() + m_added;
    }

    // Takes `size` bytes of what Prepare made room for and hands on every complete line.
    template <typename Emit>
    void Commit(qsizetype size, Emit&& onLine)
    {
        m_buffer.resize(m_added + size);
        if (m_ended || size == 0)
            return;
        if (const void* nul = std::memchr(m_buffer.constData() + m_added, 0, size_t(size))) {
            m_buffer.resize(static_cast<const char*>(nul) - m_buffer.constData());
            m_ended = true;
        }
        Scan(onLine, false);
    }

    bool Ended() const { return m_ended; }

    template <typename Emit>
    void Finish(Emit&& onLine)
    {
        Scan(onLine, true);
        if (m_pos < m_buffer.size())
            onLine(QByteArrayView(m_buffer).sliced(m_pos));
        m_buffer.clear();
        m_pos = 0;
    }

private:
    struct TSearch {
        qsizetype found = -1;  // position of the next match, -1 = none before `scanned`
        qsizetype scanned = 0; // searched up to here
    };

    qsizetype Next(TSearch& search, char what) const
    {
        if (search.found >= m_pos)
            return search.found;
        const qsizetype from = std::max(m_pos, search.scanned);
        const void* at = std::memchr(m_buffer.constData() + from, what, size_t(m_buffer.size() - from));
        if (at) {
            search.found = static_cast<const char*>(at) - m_buffer.constData();
            search.scanned = search.found;
        } else {
            search.found = -1;
            search.scanned = m_buffer.size();
        }
        return search.found;
    }

    void Compact()
    {
        if (m_pos == 0)
            return;
        // Only the start of a line is left; moving it keeps the capacity for the next block.
        const qsizetype rest = m_buffer.size() - m_pos;
        std::memmove(m_buffer.data(), m_buffer.constData() + m_pos, size_t(rest));
        m_buffer.resize(rest);
        for (TSearch* s : {&m_lf, &m_cr}) {
            s->found = s->found >= m_pos ? s->found - m_pos : -1;
            s->scanned = std::max<qsizetype>(0, s->scanned - m_pos);
        }
        m_pos = 0;
    }

    template <typename Emit>
    void Scan(Emit& onLine, bool final)
    {
        const qsizetype size = m_buffer.size();
        for (;;) {
            const qsizetype lf = Next(m_lf, '\n');
            const qsizetype cr = Next(m_cr, '\r');
            qsizetype end;
            qsizetype skip;
            if (cr >= 0 && (lf < 0 || cr < lf)) {
                if (cr + 1 < size) {
                    end = cr;
                    skip = m_buffer.at(cr + 1) == '\n' ? 2 : 1;
                } else if (final) {
                    end = cr;
                    skip = 1;
                } else {
                    break; // CR LF may be cut between two blocks
                }
            } else if (lf >= 0) {
                end = lf;
                skip = 1;
            } else {
                break;
            }
            onLine(QByteArrayView(m_buffer).sliced(m_pos, end - m_pos));
            m_pos = end + skip;
        }
    }

    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_added = 0;
    TSearch m_lf;
    TSearch m_cr;
    bool m_ended = false;
};

// UTF-16 block to UTF-8. A high surrogate or odd byte at the end of a block
// waits for the next; at the end of the file an odd byte becomes U+FFFD.
QByteArray Utf16ToUtf8(QByteArray& carry, QByteArrayView block, bool bigEndian, bool last)
{
    QByteArray bytes = carry;
    bytes.append(block.data(), block.size());
    carry.clear();
    qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    if (bigEndian)
        qFromBigEndian<char16_t>(bytes.constData(), units, text.data());
    else
        qFromLittleEndian<char16_t>(bytes.constData(), units, text.data());
    if (!last) {
        if (units > 0 && text.at(units - 1).isHighSurrogate()) {
            --units;
            text.chop(1);
        }
        carry = bytes.sliced(units * 2);
    } else if (bytes.size() % 2) {
        text.append(QChar::ReplacementCharacter);
    }
    return text.toUtf8();
}

void AppendEscaped(QByteArray& out, QByteArrayView field, QByteArrayView delimiter)
{
    if (field.isEmpty())
        return;
    const bool plain = !std::memchr(field.data(), delimiter[0], size_t(field.size()))
        && !std::memchr(field.data(), '\r', size_t(field.size()))
        && !std::memchr(field.data(), '\n', size_t(field.size()));
    QByteArray escaped;
    if (!plain) {
        escaped.reserve(field.size() + 8);
        for (qsizetype i = 0; i < field.size();) {
            if (field.sliced(i).startsWith(delimiter)) {
                escaped.append("\xC3\xBE", 2);
                i += delimiter.size();
                continue;
            }
            const char c = field[i++];
            escaped.append(c == '\r' || c == '\n' ? ' ' : c);
        }
        field = escaped;
    }
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && uint8_t(field[begin]) <= 0x20)
        ++begin;
    while (end > begin && uint8_t(field[end - 1]) <= 0x20)
        --end;
    out.append(field.data() + begin, end - begin);
}

void AppendRow(QByteArray& out, const TLogRows& rows, qsizetype row, QByteArrayView delimiter,
               bool withImage)
{
    if (withImage) {
        out.append(QByteArray::number(rows.ImageIndex(row)));
        out.append(delimiter.data(), delimiter.size());
    }
    const QByteArrayView data = rows.RowData(row);
    qsizetype from = 0;
    while (from < data.size()) {
        const auto* nul = static_cast<const char*>(std::memchr(data.data() + from, 0, size_t(data.size() - from)));
        if (!nul)
            break;
        if (from > 0)
            out.append(delimiter.data(), delimiter.size());
        const qsizetype end = nul - data.data();
        AppendEscaped(out, data.sliced(from, end - from), delimiter);
        from = end + 1;
    }
    out.append("\r\n", 2);
}

// True unless a regular file holds text whose last byte is not CR or LF.
bool EndsWithLineBreak(const QString& fileName)
{
    // A pipe or device is not read: that could wait for ever.
    if (!QFileInfo(fileName).isFile())
        return true;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return true; // nothing known to mend
    const qint64 size = file.size();
    if (size == 0)
        return true;
    if (size == kLogBomSize && file.read(kLogBomSize) == QByteArrayView(kLogBom, kLogBomSize))
        return true;
    char last = 0;
    return !file.seek(size - 1) || !file.getChar(&last) || last == '\n' || last == '\r';
}

} // namespace

namespace {

// Reads the whole device into `rows`; with a batch size, hands the rows on
// whenever that many were read and starts again with none.
bool ReadLogInto(QIODevice& device, QChar delimiter, int columns, bool withImage, TLogRows& rows,
                 qsizetype batchRows, const std::function<bool(const TLogRows&)>& onBatch)
{
    try {
        const QByteArray delimiterUtf8 = DelimiterUtf8(delimiter);
        // A small log needs no 4 MiB block: size the first one by the file
        // (plus room to see its end), kept even for UTF-16.
        qsizetype first = kBlock;
        if (!device.isSequential())
            first = qsizetype(std::clamp<qint64>((device.bytesAvailable() + 3) & ~qint64(1), 2, kBlock));
        QByteArray block(first, Qt::Uninitialized);
        qsizetype got = ReadBlock(device, block.data(), block.size());
        if (got < 0)
            return false;

        TEncoding encoding = TEncoding::Ansi;
        qsizetype skip = 0;
        const QByteArrayView head(block.constData(), got);
        if (head.startsWith("\xFF\xFE")) {
            encoding = TEncoding::Utf16Le;
            skip = 2;
        } else if (head.startsWith("\xFE\xFF")) {
            encoding = TEncoding::Utf16Be;
            skip = 2;
        } else if (head.startsWith(kLogBom)) {
            encoding = TEncoding::Utf8;
            skip = kLogBomSize;
        }
        if (encoding == TEncoding::Utf8 && !device.isSequential() && !onBatch)
            rows.ReserveText(size_t(std::max<qint64>(0, device.size())));

        bool ok = true;
        const auto addLine = [&](QByteArrayView line) {
            if (!ok)
                return;
            // Only raw UTF-8 can be malformed; the other paths come from toUtf8().
            if (encoding == TEncoding::Utf8 && !IsAscii(line) && !line.isValidUtf8()) {
                const QByteArray mended = QString::fromUtf8(line).toUtf8();
                ok = rows.AppendLineUtf8(mended, delimiterUtf8, columns, withImage);
            } else {
                ok = rows.AppendLineUtf8(line, delimiterUtf8, columns, withImage);
            }
            if (ok && onBatch && rows.Count() >= batchRows) {
                ok = onBatch(rows);
                rows.Clear();
            }
        };

        TLineSplitter lines;
        QByteArray carry;
        for (;;) {
            const bool last = got < block.size();
            const QByteArrayView data(block.constData() + skip, got - skip);
            switch (encoding) {
            case TEncoding::Utf8:
                lines.Feed(data, addLine);
                break;
            case TEncoding::Utf16Le:
            case TEncoding::Utf16Be:
                lines.Feed(Utf16ToUtf8(carry, data, encoding == TEncoding::Utf16Be, last), addLine);
                break;
            case TEncoding::Ansi:
                lines.Feed(FromCodePage(reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()))
                               .toUtf8(),
                           addLine);
                break;
            }
            if (!ok)
                return false;
            // After a NUL nothing more is text; an endless device ends here too.
            if (last || lines.Ended())
                break;
            skip = 0;
            if (encoding == TEncoding::Utf8) {
                // UTF-8 goes straight into the line buffer: no copy of the file.
                do {
                    got = ReadBlock(device, lines.Prepare(kBlock), kBlock);
                    if (got < 0)
                        return false;
                    lines.Commit(got, addLine);
                    if (!ok)
                        return false;
                } while (got == kBlock && !lines.Ended());
                break;
            }
            got = ReadBlock(device, block.data(), block.size());
            if (got < 0)
                return false;
        }
        lines.Finish(addLine);
        if (ok && onBatch && !rows.IsEmpty()) {
            ok = onBatch(rows);
            rows.Clear();
        }
        return ok;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

bool ReadLog(QIODevice& device, QChar delimiter, int columns, bool withImage, TLogRows& rows)
{
    return ReadLogInto(device, delimiter, columns, withImage, rows, 0, {});
}

bool ReadLogBatches(QIODevice& device, QChar delimiter, int columns, bool withImage, qsizetype batchRows,
                    const std::function<bool(const TLogRows&)>& onBatch)
{
    TLogRows rows;
    return ReadLogInto(device, delimiter, columns, withImage, rows, std::max<qsizetype>(batchRows, 1), onBatch);
}

TLogLoad LoadLog(const QString& fileName, QChar delimiter, int columns, bool withImage, TLogRows& rows)
{
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        return TLogLoad::Missing;
    // Opening a pipe could wait for ever, and a device may never end.
    if (!info.isFile())
        return TLogLoad::Failed;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return TLogLoad::Failed;
    return ReadLog(file, delimiter, columns, withImage, rows) ? TLogLoad::Loaded : TLogLoad::Failed;
}

bool WriteLog(QIODevice& device, QChar delimiter, bool withImage, const TLogRows& rows)
{
    try {
        const QByteArray delimiterUtf8 = DelimiterUtf8(delimiter);
        QByteArray out;
        out.reserve(kWriteBlock + 4096);
        out.append(kLogBom, kLogBomSize);
        const qsizetype count = rows.Count();
        for (qsizetype row = 0; row < count; ++row) {
            AppendRow(out, rows, row, delimiterUtf8, withImage);
            if (out.size() >= kWriteBlock) {
                if (device.write(out) != out.size())
                    return false;
                out.resize(0);
            }
        }
        return device.write(out) == out.size();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SaveLog(const QString& fileName, QChar delimiter, bool withImage, const TLogRows& rows)
{
    if (fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    // A directory that takes no new files may still hold a writable log.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!WriteLog(file, delimiter, withImage, rows)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray LogLine(std::span<const QStringView> texts, QChar delimiter, bool withImage, int imageIndex)
{
    const QByteArray delimiterUtf8 = DelimiterUtf8(delimiter);
    QByteArray line;
    if (withImage) {
        line.append(QByteArray::number(imageIndex));
        line.append(delimiterUtf8);
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            line.append(delimiterUtf8);
        AppendEscaped(line, texts[i].toUtf8(), delimiterUtf8);
    }
    line.append("\r\n", 2);
    return line;
}

QByteArray LogLine(const QStringList& texts, QChar delimiter, bool withImage, int imageIndex)
{
    std::vector<QStringView> views(texts.begin(), texts.end());
    return LogLine(std::span<const QStringView>(views), delimiter, withImage, imageIndex);
}

bool TLogWriter::Open(const QString& fileName, QChar delimiter, bool withImage, bool append)
{
    Close();
    m_delimiter = delimiter;
    m_withImage = withImage;
    m_file.setFileName(fileName);
    // A log whose last line has no line break (written by another program or
    // cut short) would take the first new row into that line.
    const bool breakFirst = append && !EndsWithLineBreak(fileName);
    const QIODevice::OpenMode mode = append ? QIODevice::Append : (QIODevice::WriteOnly | QIODevice::Truncate);
    if (!m_file.open(mode))
        return false;
    if (m_file.size() == 0 && m_file.write(kLogBom, kLogBomSize) != kLogBomSize) {
        m_file.close();
        return false;
    }
    if (breakFirst && m_file.write("\r\n", 2) != 2) {
        m_file.close();
        return false;
    }
    return m_file.flush();
}

bool TLogWriter::AppendRow(std::span<const QStringView> texts, int imageIndex)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray line = LogLine(texts, m_delimiter, m_withImage, imageIndex);
    return m_file.write(line) == line.size() && m_file.flush();
}

bool TLogWriter::AppendRow(const QStringList& texts, int imageIndex)
{
    std::vector<QStringView> views(texts.begin(), texts.end());
    return AppendRow(std::span<const QStringView>(views), imageIndex);
}

void TLogWriter::Close()
{
    if (m_file.isOpen())
        m_file.close();
}
