#include "TraceLine.h"

#include "HexLine.h"

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
    return OctetsFromHexLine(data, kMaxFrameOctets);
}
