#include "HexFrame.h"

#include "HexLine.h"

#include <array>

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

namespace {

// Digit values by byte; kBlank for the blanks allowed between pairs, kNone
// for everything else.
constexpr int8_t kBlank = -2;
constexpr int8_t kNone = -1;
constexpr auto kDigitValues = [] {
    std::array<int8_t, 256> table{};
    table.fill(kNone);
    for (int c = '0'; c <= '9'; ++c)
        table[size_t(c)] = int8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[size_t(c)] = int8_t(c - 'A' + 10), table[size_t(c - 'A' + 'a')] = int8_t(c - 'A' + 10);
    table[' '] = table['\t'] = kBlank;
    return table;
}();

} // namespace

size_t ParseHexFrame(std::string_view text, std::vector<uint8_t>& buffer)
{
    if (buffer.size() < text.size() / 2)
        buffer.resize(text.size() / 2);
    uint8_t* const begin = buffer.data();
    uint8_t* out = begin;
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* end = p + text.size();
    // Pairs with a blank after them, as the trace writes them.
    while (end - p >= 3) {
        const int high = kDigitValues[p[0]];
        const int low = kDigitValues[p[1]];
        if ((high | low) < 0 || p[2] != ' ')
            break;
        *out++ = uint8_t(high * 16 + low);
        p += 3;
    }
    while (p < end) {
        const int high = kDigitValues[*p];
        if (high == kBlank) {
            ++p;
            continue;
        }
        if (high < 0 || end - p < 2)
            return 0;
        const int low = kDigitValues[p[1]];
        if (low < 0)
            return 0;
        *out++ = uint8_t(high * 16 + low);
        p += 2;
    }
    return size_t(out - begin);
}
