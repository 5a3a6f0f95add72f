#include "LogRows.h"

#include "LogFormat.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

QByteArrayView LeftTrimmedUtf8(QByteArrayView field)
{
    // Every byte up to 0x20 is one such character in UTF-8; multi-byte
    // sequences use only bytes from 0x80.
    qsizetype i = 0;
    while (i < field.size() && uint8_t(field[i]) <= 0x20)
        ++i;
    return field.sliced(i);
}

qsizetype Find(QByteArrayView text, qsizetype from, QByteArrayView what)
{
    if (from >= text.size())
        return -1; // an empty view may have no data pointer at all
    if (what.size() == 1) {
        const void* at = std::memchr(text.data() + from, what[0], size_t(text.size() - from));
        return at ? static_cast<const char*>(at) - text.data() : -1;
    }
    return text.indexOf(what, from);
}

} // namespace

int TLogRows::FieldCount(qsizetype row) const
{
    if (row < 0 || row >= Count())
        return 0;
    const char* begin = m_text.data() + m_rowStart[size_t(row)];
    const char* end = m_text.data() + m_rowStart[size_t(row) + 1];
    return int(std::count(begin, end, '\0'));
}

QByteArrayView TLogRows::Field(qsizetype row, int field) const
{
    if (row < 0 || row >= Count() || field < 0)
        return {};
    const char* p = m_text.data() + m_rowStart[size_t(row)];
    const char* end = m_text.data() + m_rowStart[size_t(row) + 1];
    for (int i = 0; i < field; ++i) {
        const void* stop = std::memchr(p, 0, size_t(end - p));
        if (!stop)
            return {};
        p = static_cast<const char*>(stop) + 1;
    }
    const void* stop = std::memchr(p, 0, size_t(end - p));
    if (!stop)
        return {};
    return QByteArrayView(p, static_cast<const char*>(stop) - p);
}

QByteArrayView TLogRows::RowData(qsizetype row) const
{
    if (row < 0 || row >= Count())
        return {};
    const uint64_t begin = m_rowStart[size_t(row)];
    return QByteArrayView(m_text.data() + begin, qsizetype(m_rowStart[size_t(row) + 1] - begin));
}

QString TLogRows::Text(qsizetype row, int field) const
{
    const QByteArrayView utf8 = Field(row, field);
    return QString::fromUtf8(utf8.data(), utf8.size());
}

QStringList TLogRows::Texts(qsizetype row) const
{
    QStringList texts;
    if (row < 0 || row >= Count())
        return texts;
    const char* p = m_text.data() + m_rowStart[size_t(row)];
    const char* end = m_text.data() + m_rowStart[size_t(row) + 1];
    while (p < end) {
        const char* stop = static_cast<const char*>(std::memchr(p, 0, size_t(end - p)));
        if (!stop)
            break;
        texts.append(QString::fromUtf8(p, stop - p));
        p = stop + 1;
    }
    return texts;
}

int TLogRows::ImageIndex(qsizetype row) const
{
    if (row < 0 || size_t(row) >= m_images.size())
        return -1;
    return m_images[size_t(row)];
}

void TLogRows::AppendField(QByteArrayView utf8)
{
    const size_t at = m_text.size();
    m_text.insert(m_text.end(), utf8.begin(), utf8.end());
    // The NUL ends a field here and ends the text in a file.
    if (!utf8.isEmpty() && std::memchr(m_text.data() + at, 0, size_t(utf8.size())))
        std::replace(m_text.begin() + qsizetype(at), m_text.end(), '\0', ' ');
    m_text.push_back('\0');
}

void TLogRows::AppendUnescaped(QByteArrayView utf8, QByteArrayView delimiter)
{
    // "þ" is C3 BE in UTF-8.
    if (utf8.isEmpty() || !std::memchr(utf8.data(), 0xC3, size_t(utf8.size()))) {
        AppendField(utf8);
        return;
    }
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = utf8.indexOf("\xC3\xBE", from);
        if (at < 0)
            break;
        m_text.insert(m_text.end(), utf8.begin() + from, utf8.begin() + at);
        m_text.insert(m_text.end(), delimiter.begin(), delimiter.end());
        from = at + 2;
    }
    AppendField(utf8.sliced(from));
}

TLogRows::TMark TLogRows::Mark() const
{
    return {m_text.size(), m_rowStart.size(), m_images.size()};
}

void TLogRows::Rollback(const TMark& mark)
{
    // Only shrinks, so it cannot fail itself.
    m_text.resize(mark.Text);
    m_rowStart.resize(mark.Rows);
    m_images.resize(std::min(m_images.size(), mark.Images));
}

void TLogRows::EndRow(int imageIndex)
{
    if (imageIndex != -1 || !m_images.empty()) {
        m_images.resize(size_t(Count()), -1);
        m_images.push_back(imageIndex);
    }
    m_rowStart.push_back(m_text.size());
}

bool TLogRows::AppendLine(QStringView line, QChar delimiter, int columns, bool withImage)
{
    try {
        return AppendLineUtf8(line.toUtf8(), DelimiterUtf8(delimiter), columns, withImage);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TLogRows::AppendLineUtf8(QByteArrayView line, QByteArrayView delimiter, int columns, bool withImage)
{
    if (!CanAdd() || delimiter.isEmpty())
        return false;
    const TMark mark = Mark();
    try {
        columns = std::max(columns, 0);
        // Fields past these are ignored, so splitting stops there.
        const size_t needed = size_t(std::max(columns, 1)) + (withImage ? 1 : 0);
        m_fields.clear();
        qsizetype from = 0;
        while (m_fields.size() < needed) {
            const qsizetype at = Find(line, from, delimiter);
            if (at < 0) {
                const QByteArrayView last = LeftTrimmedUtf8(line.sliced(from));
                if (!last.isEmpty())
                    m_fields.push_back(last);
                break;
            }
            m_fields.push_back(LeftTrimmedUtf8(line.sliced(from, at - from)));
            from = at + delimiter.size();
        }
        while (m_fields.size() < size_t(columns))
            m_fields.emplace_back();

        size_t k = 0;
        int image = -1;
        if (withImage) {
            image = m_fields.empty() ? -1 : ParseImageIndex(m_fields[0]);
            k = 1;
        }
        if (k < m_fields.size())
            AppendUnescaped(m_fields[k++], delimiter);
        else
            AppendField({});
        int subItems = 0;
        for (; k < m_fields.size() && subItems < columns - 1; ++k, ++subItems)
            AppendUnescaped(m_fields[k], delimiter);
        for (; subItems < columns - 1; ++subItems)
            AppendField({});
        EndRow(image);
        return true;
    } catch (const std::bad_alloc&) {
        Rollback(mark);
        return false;
    }
}

bool TLogRows::AppendTexts(std::span<const QStringView> texts, int columns, int imageIndex)
{
    if (!CanAdd())
        return false;
    const TMark mark = Mark();
    try {
        const size_t count = size_t(std::max(columns, 1));
        for (size_t i = 0; i < count; ++i) {
            if (i < texts.size())
                AppendField(texts[i].toUtf8());
            else
                AppendField({});
        }
        EndRow(imageIndex);
        return true;
    } catch (const std::bad_alloc&) {
        Rollback(mark);
        return false;
    }
}

bool TLogRows::AppendTexts(const QStringList& texts, int columns, int imageIndex)
{
    try {
        std::vector<QStringView> views(texts.begin(), texts.end());
        return AppendTexts(std::span<const QStringView>(views), columns, imageIndex);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void TLogRows::Clear()
{
    std::vector<char>().swap(m_text);
    m_rowStart.assign(1, 0);
    m_rowStart.shrink_to_fit();
    std::vector<int32_t>().swap(m_images);
    std::vector<QByteArrayView>().swap(m_fields);
}

void TLogRows::ReserveText(size_t bytes)
{
    try {
        m_text.reserve(bytes);
    } catch (const std::exception&) {
        // Only a hint: the text grows as it comes.
    }
}
