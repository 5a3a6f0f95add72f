#include "FacilityBer.h"

#include "DecoderText.h"

#include <array>

uint32_t ReadLength(const uint8_t* data, uint32_t count, uint32_t& position)
{
    if (position >= count)
        return 0;
    const uint8_t b = data[position++];
    uint32_t length = b;
    if (b >= 0x80) {
        const uint32_t k = b & 0x7F;
        if (k > BerRemaining(count, position)) {
            position = count; // truncated length octets: nothing sensible follows
            return 0;
        }
        length = 0;
        for (uint32_t i = 0; i < k; ++i)
            length = (length << 8) | data[position++]; // wraps: only the last four count
    }
    return length > BerRemaining(count, position) ? 0 : length;
}

uint32_t ReadInteger(const uint8_t* data, uint32_t count, uint32_t& position)
{
    if (ReadBerTag(data, count, position) != 2)
        return 0;
    const uint32_t length = ReadLength(data, count, position);
    uint32_t value = 0;
    for (uint32_t i = 0; i < length && position < count; ++i)
        value = (value << 8) | data[position++];
    return value;
}

namespace {

constexpr std::array<const char*, 5> kItuSecondArcs = {
    "recommendation(0) ", "question(1) ", "administration(2) ", "network-operator(3) ",
    "identified-organisation(4) ",
};

} // namespace

QString ObjectIdentifierText(const uint8_t* data, uint32_t count, uint32_t& position)
{
    QString text;
    if (ReadBerTag(data, count, position) != 6)
        return text;
    const uint32_t length = ReadLength(data, count, position);
    uint32_t arc = 0;
    bool collecting = false;
    for (uint32_t i = 1; i <= length && position < count; ++i) {
        const uint8_t c = data[position++];
        if (i == 1) {
            // The first octet carries two arcs and is never part of a longer arc.
            if (c < 40) {
                text = QStringLiteral("itu-t(0) ");
                if (c < kItuSecondArcs.size())
                    text += QLatin1String(kItuSecondArcs[c]);
                else
                    text += QString::number(c) + QLatin1Char(' ');
            } else if (c < 80) {
                text = QStringLiteral("iso(1) ") + QString::number(c - 40) + QLatin1Char(' ');
            } else {
                text = QStringLiteral("joint-iso-itu-t(2) ") + QString::number(c - 80) + QLatin1Char(' ');
            }
            continue;
        }
        if (i == 2 && c == 0 && text == QLatin1String("itu-t(0) identified-organisation(4) ")) {
            text += QLatin1String("etsi(0) ");
            continue;
        }
        if (collecting || c >= 0x80) {
            arc = (arc << 7) | (c & 0x7F);
            collecting = true;
        } else {
            arc = c;
        }
        if (c < 0x80) {
            text += QString::number(arc) + QLatin1Char(' ');
            arc = 0;
            collecting = false;
        }
    }
    return text;
}

QString FacilityHex(uint32_t value)
{
    return HexText(u"0x", value, 4);
}
