#include "RawReaders.h"

#include "Prefixes.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstring>

TFacilityWindow::TFacilityWindow(const uint8_t* contents, uint32_t count)
    : m_count(contents ? std::min(count, kSize) : 0)
{
    if (m_count)
        std::memcpy(m_octets.data(), contents, m_count);
}

uint32_t RawLength(const TFacilityWindow& window, TRawPosition& position)
{
    const uint8_t b = window[position++];
    if (b < 0x80)
        return b;
    uint32_t value = 0;
    for (int k = b & 0x7F; k > 0; --k)
        value = (value << 8) | window[position++];
    return value;
}

uint32_t RawSkipHeader(const TFacilityWindow& window, TRawPosition& position)
{
    ++position; // tag
    return RawLength(window, position);
}

uint8_t RawFirstOctet(const TFacilityWindow& window, TRawPosition& position)
{
    RawSkipHeader(window, position);
    return window[position++];
}

uint8_t RawOperation(const TFacilityWindow& window, TRawPosition& position)
{
    RawLength(window, position); // component length
    ++position;                  // invoke identifier tag
    position += TRawPosition(RawLength(window, position));
    const uint8_t tag = window[position++];
    switch (tag) {
    case 0x02: { // local value
        RawLength(window, position);
        return window[position++];
    }
    case 0x06: { // global value: the caller reads the last arc where we stop
        const uint32_t n = RawLength(window, position);
        const uint8_t first = window[position];
        position += TRawPosition(n - 1);
        return first;
    }
    case 0x30: { // returnResult: SEQUENCE { operation value, result }
        RawLength(window, position);
        ++position;
        RawLength(window, position);
        return window[position++];
    }
    default:
        return 0;
    }
}

namespace {

// n octets from the position as text, advancing by n. Only the element's own
// octets are read: the zero fill past them is not part of any number.
QString RawText(const TFacilityWindow& window, TRawPosition& position, uint32_t n)
{
    const uint32_t start = position;
    const uint32_t available = window.Count() > start ? window.Count() - start : 0;
    const uint32_t take = std::min(n, available);
    uint8_t octets[TFacilityWindow::kSize];
    for (uint32_t i = 0; i < take; ++i)
        octets[i] = window[TRawPosition(start + i)];
    position += TRawPosition(n);
    return DecodeText(octets, take);
}

} // namespace

QString RawPartyNumber(const TFacilityWindow& window, TRawPosition& position)
{
    const uint8_t tag = window[position++];
    if (tag == 0x80) { // digits without a type of number
        const uint32_t n = RawLength(window, position) & 0xFFFF;
        return RawText(window, position, n);
    }
    if (tag != 0xA1)
        return {};
    RawLength(window, position); // public number
    ++position;                  // type-of-number tag
    const uint32_t m = RawLength(window, position);
    const uint8_t typeOfNumber = window[position];
    position += TRawPosition(m);
    QString prefix;
    if (typeOfNumber == 1)
        prefix = InternationalPrefix();
    else if (typeOfNumber == 2)
        prefix = NationalPrefix();
    ++position; // digits tag
    const uint32_t n = RawLength(window, position);
    return prefix + RawText(window, position, n);
}

TCcbsBFree RawCcbsBFree(const TFacilityWindow& window, TRawPosition& position)
{
    TCcbsBFree result;
    if (window[position] != 0x30)
        return result;
    // SEQUENCE { ENUMERATED (1 octet), INTEGER linkage id (1 octet), header, PartyNumber }
    result.linkageIdentifier = window[TRawPosition(position + 7)];
    position += 10;
    result.number = RawPartyNumber(window, position);
    return result;
}
