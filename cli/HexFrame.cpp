#include "HexFrame.h"

namespace {

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
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        octets.append(char(high * 16 + low));
        i += 2;
    }
    if (octets.isEmpty())
        return std::nullopt;
    return octets;
}
