#include "TraceLine.h"

#include "HexLine.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

char16_t Code(QChar c)
{
    return c.unicode();
}

char16_t Code(char c)
{
    return char16_t(uchar(c));
}

template <typename Text>
bool IsHexDataOf(const Text& data)
{
    qsizetype steps = 0;
    qsizetype pairs = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char16_t c = Code(data[i]);
        if (c == u'\n' || c == u'\r')
            return false;
        if (i % 3 == 1) {
            ++steps;
            if (IsHexDigit(Code(data[i - 1])) && IsHexDigit(c))
                ++pairs;
        }
    }
    return pairs * 2 >= steps;
}

int Number(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || !text[i].isDigit())
            return -1;
        value = value * 10 + text[i].digitValue();
    }
    return value;
}

template <typename Text>
bool IsDirection(const Text& text)
{
    return text.size() == 1 && (Code(text[0]) == u'T' || Code(text[0]) == u'R');
}

} // namespace

QByteArray ParseDataColumn(QStringView data)
{
    return OctetsFromHexLine(data, kMaxFrameOctets);
}

QByteArray ParseDataColumn(QByteArrayView data)
{
    QByteArray octets;
    for (qsizetype i = 0; i + 1 < data.size() && octets.size() < kMaxFrameOctets; i += 3) {
        const int high = HexDigitValue(QChar(uchar(data[i])));
        const int low = HexDigitValue(QChar(uchar(data[i + 1])));
        if (high >= 0 && low >= 0)
            octets.append(char(high * 16 + low));
    }
    return octets;
}

bool IsHexData(QStringView data)
{
    return IsHexDataOf(data);
}

bool IsHexData(QByteArrayView data)
{
    return IsHexDataOf(data);
}

int TimeOfDayMs(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1 || colon > 2 || text.size() < colon + 6 || text[colon + 3] != u':')
        return -1;
    const int h = Number(text, 0, colon);
    const int m = Number(text, colon + 1, 2);
    const int s = Number(text, colon + 4, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    int ms = 0;
    const qsizetype rest = colon + 6;
    if (rest < text.size()) {
        if (text[rest] != u',' && text[rest] != u'.')
            return -1;
        const qsizetype digits = std::min<qsizetype>(text.size() - rest - 1, 3);
        if (text.size() - rest - 1 > 3)
            return -1;
        ms = digits > 0 ? Number(text, rest + 1, digits) : 0;
        if (ms < 0)
            return -1;
        for (qsizetype d = digits; d < 3; ++d)
            ms *= 10;
    }
    return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

bool IsFrameRow(QStringView time, QStringView direction, QStringView data)
{
    return data.isEmpty() || (IsHexData(data) && (IsDirection(direction) || TimeOfDayMs(time) >= 0));
}

bool IsFrameRow(QByteArrayView time, QByteArrayView direction, QByteArrayView data)
{
    return data.isEmpty()
        || (IsHexData(data) && (IsDirection(direction) || TimeOfDayMs(QString::fromUtf8(time)) >= 0));
}

QStringList TextRowLines(const QStringList& columns)
{
    QString text = columns.value(3);
    if (TimeOfDayMs(columns.value(0)) < 0) {
        QStringList parts;
        for (int column = 0; column < 3; ++column)
            if (!columns.value(column).isEmpty())
                parts << columns.value(column);
        parts << columns.value(3);
        text = parts.join(QStringLiteral(": "));
    }
    static const QRegularExpression kBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(kBreak);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
