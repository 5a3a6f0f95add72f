#include "HexFrame.h"

#include "HexLine.h"

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

std::optional<QByteArray> ParseHexFrame(QStringView text)
{
    QByteArray octets;
    octets.reserve(text.size() / 2);
    qsizetype i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        // A pair may not be split by a blank or cut by the end.
        if (i + 1 >= text.size())
            return std::nullopt;
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        octets.append(char(high * 16 + low));
        i += 2;
    }
    if (octets.isEmpty())
        return std::nullopt;
    return octets;
}
