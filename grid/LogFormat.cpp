#include "LogFormat.h"

#include <charconv>

namespace {

bool IsBlank(QChar c)
{
    return c.unicode() <= 0x20;
}

} // namespace

QStringView LeftTrimmed(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return text.mid(i);
}

QStringView Trimmed(QStringView text)
{
    text = LeftTrimmed(text);
    qsizetype n = text.size();
    while (n > 0 && IsBlank(text[n - 1]))
        --n;
    return text.first(n);
}

void SplitLine(QStringView line, QChar delimiter, QStringList& fields)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = line.indexOf(delimiter, start);
        if (at < 0)
            break;
        fields.append(LeftTrimmed(line.sliced(start, at - start)).toString());
        start = at + 1;
    }
    const QStringView last = LeftTrimmed(line.sliced(start));
    if (!last.isEmpty())
        fields.append(last.toString());
}

QString EscapeField(QStringView text, QChar delimiter)
{
    QString escaped = text.toString();
    escaped.replace(delimiter, QChar(kLogEscape));
    // A line break inside a field would split its row in two on reading.
    escaped.replace(u'\r', u' ');
    escaped.replace(u'\n', u' ');
    return Trimmed(escaped).toString();
}

QString UnescapeField(QStringView text, QChar delimiter)
{
    QString plain = text.toString();
    plain.replace(QChar(kLogEscape), delimiter);
    return plain;
}

int ParseImageIndex(QStringView field)
{
    // A character outside Latin-1 becomes '?', which is no digit either.
    return ParseImageIndex(QByteArrayView(field.toLatin1()));
}

int ParseImageIndex(QByteArrayView field)
{
    const char* begin = field.data();
    const char* end = begin + field.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-')
            return -1;
    }
    int value = -1;
    const auto [stop, error] = std::from_chars(begin, end, value, 10);
    if (begin == end || error != std::errc() || stop != end)
        return -1;
    return value;
}

QByteArray DelimiterUtf8(QChar delimiter)
{
    if (delimiter.isSurrogate())
        return QByteArray("\xEF\xBF\xBD");
    return QString(delimiter).toUtf8();
}
