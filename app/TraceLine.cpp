#include "TraceLine.h"

namespace {

constexpr QStringView kSeparator = u": ";

// Cuts text at the first separator: the part before it is returned, text
// keeps what follows it. Nothing when there is no separator.
std::optional<QStringView> TakeField(QStringView& text)
{
    const qsizetype at = text.indexOf(kSeparator);
    if (at < 0)
        return std::nullopt;
    const QStringView field = text.left(at);
    text = text.mid(at + kSeparator.size());
    return field;
}

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

std::optional<TTraceColumns> SplitTraceLine(QStringView info)
{
    TTraceColumns columns;
    const auto time = TakeField(info);
    if (!time)
        return std::nullopt;
    columns[0] = time->toString();
    const auto direction = TakeField(info);
    if (direction) {
        columns[1] = direction->toString();
        if (const auto message = TakeField(info))
            columns[2] = message->toString();
    }
    columns[3] = info.toString();
    return columns;
}

QByteArray ParseDataColumn(QStringView data)
{
    QByteArray octets;
    octets.reserve(std::min<qsizetype>(kMaxFrameOctets, data.size() / 3 + 1));
    for (qsizetype at = 0; data.size() - at >= 2 && octets.size() < kMaxFrameOctets; at += 3) {
        const int high = HexValue(data[at]);
        const int low = HexValue(data[at + 1]);
        if (high >= 0 && low >= 0)
            octets.append(char(high * 16 + low));
    }
    return octets;
}
