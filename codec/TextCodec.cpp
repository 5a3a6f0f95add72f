#include "TextCodec.h"

namespace {

// Windows-1252 0x80..0x9F; the rest of the code page coincides with Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

} // namespace

int Utf8SequenceLength(uint8_t lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return -1;
}

bool IsUtf8(const uint8_t* bytes, uint32_t count)
{
    uint32_t i = 0;
    while (i < count) {
        const int k = Utf8SequenceLength(bytes[i]);
        if (k < 1 || uint64_t(i) + uint32_t(k) - 1 >= count)
            return false;
        for (int j = 1; j < k; ++j)
            if (!IsContinuation(bytes[i + uint32_t(j)]))
                return false;
        i += uint32_t(k);
    }
    return true;
}

bool ContainsUtf8(const uint8_t* bytes, uint32_t count)
{
    if (count == 0)
        return false;
    // A byte beyond the end counts as 0, never a continuation byte.
    const auto at = [&](uint64_t k) -> uint8_t { return k < count ? bytes[k] : 0; };
    uint64_t i = 0;
    uint64_t single = 0;
    while (i < count && bytes[i] != 0) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            ++i;
            ++single;
            continue;
        }
        if (!IsContinuation(at(i + 1)))
            return false;
        if ((b & 0xE0) != 0xE0) {
            i += 2; // every lead 0x80..0xDF is taken as a two-byte lead
            continue;
        }
        if (!IsContinuation(at(i + 2)))
            return false;
        if ((b & 0xF0) != 0xF0) {
            i += 3;
            continue;
        }
        if ((b & 0xF8) != 0xF0 || !IsContinuation(at(i + 3)))
            return false;
        i += 4;
    }
    return i != single;
}

QString FromCodePage(const uint8_t* bytes, uint32_t count)
{
    QString text(qsizetype(count), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        out[i] = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

QString DecodeText(const uint8_t* bytes, uint32_t count)
{
    if (ContainsUtf8(bytes, count))
        return QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(count));
    return FromCodePage(bytes, count);
}
