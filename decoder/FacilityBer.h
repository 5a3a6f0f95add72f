#pragma once
// ASN.1 BER reading for the Facility element. A region is a run of octets and
// its count; positions count from the region's first octet. Every reader stays
// inside its region: what is missing or malformed reads as 0 or empty text.

#include <QString>
#include <cstdint>

// Tag numbers are the low five bits of the identifier octet; class and the
// constructed bit do not matter to this decoder.
constexpr uint8_t BerTagNumber(uint8_t identifier) { return identifier & 0x1F; }

// Octets left in the region from the position (0 when past its end).
constexpr uint32_t BerRemaining(uint32_t count, uint32_t position)
{
    return position < count ? count - position : 0;
}

// Tag number at the position, or 0 when the region is exhausted.
inline uint8_t PeekBerTag(const uint8_t* data, uint32_t count, uint32_t position)
{
    return position < count ? BerTagNumber(data[position]) : 0;
}

// Like PeekBerTag, and advances past the identifier octet when there was one.
inline uint8_t ReadBerTag(const uint8_t* data, uint32_t count, uint32_t& position)
{
    if (position >= count)
        return 0;
    return BerTagNumber(data[position++]);
}

// A definite length, short or long form; 0 for the indefinite form and for a
// length that would run past the region. Advances past the length octets.
uint32_t ReadLength(const uint8_t* data, uint32_t count, uint32_t& position);

// An INTEGER element at its identifier octet, unsigned big-endian with only
// the last four contents octets counting; 0 when the element is no INTEGER.
uint32_t ReadInteger(const uint8_t* data, uint32_t count, uint32_t& position);

// An OBJECT IDENTIFIER element at its identifier octet, arc by arc with a
// blank after each ("itu-t(0) identified-organisation(4) etsi(0) 359 1 5 ").
QString ObjectIdentifierText(const uint8_t* data, uint32_t count, uint32_t& position);

// "0x" and the value in upper-case hexadecimal, at least four digits.
QString FacilityHex(uint32_t value);
