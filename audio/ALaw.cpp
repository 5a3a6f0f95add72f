#include "ALaw.h"

#include <array>

namespace valaw {

namespace {

constexpr uint8_t Reversed(uint8_t octet)
{
    uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (octet & (1u << bit))
            result = uint8_t(result | (0x80u >> bit));
    return result;
}

// G.711 A-law code (in its standard bit order) to linear.
constexpr int16_t ALawToLinear(uint8_t code)
{
    code ^= 0x55;
    int value = (code & 0x0F) << 4;
    const int segment = (code & 0x70) >> 4;
    value += segment == 0 ? 8 : 0x108;
    if (segment > 1)
        value <<= segment - 1;
    return int16_t((code & 0x80) ? value : -value);
}

// Linear (13 significant bits) to the A-law code in its standard bit order.
constexpr uint8_t LinearToALaw(int sample)
{
    int value = sample >> 3;
    uint8_t mask = 0xD5;
    if (value < 0) {
        mask = 0x55;
        value = -value - 1;
    }
    int segment = 0;
    while (segment < 8 && value > (0x20 << segment) - 1)
        ++segment;
    if (segment >= 8)
        return uint8_t(0x7F ^ mask);
    uint8_t code = uint8_t(segment << 4);
    code = uint8_t(code | ((segment < 2 ? value >> 1 : value >> segment) & 0x0F));
    return uint8_t(code ^ mask);
}

constexpr std::array<int16_t, 256> MakeDecodeTable()
{
    std::array<int16_t, 256> table = {};
    for (int octet = 0; octet < 256; ++octet)
        table[size_t(octet)] = ALawToLinear(Reversed(uint8_t(octet)));
    return table;
}

// Indexed by the sample's top 13 bits: A-law keeps no more.
constexpr std::array<uint8_t, 8192> MakeEncodeTable()
{
    std::array<uint8_t, 8192> table = {};
    for (int index = 0; index < 8192; ++index) {
        const int sample = (index - 4096) * 8;
        table[size_t(index)] = Reversed(LinearToALaw(sample));
    }
    return table;
}

constexpr std::array<int16_t, 256> kDecode = MakeDecodeTable();
constexpr std::array<uint8_t, 8192> kEncode = MakeEncodeTable();

static_assert(kDecode[kSilence] == 8);

} // namespace

int16_t Decode(uint8_t octet)
{
    return kDecode[octet];
}

uint8_t Encode(int16_t sample)
{
    return kEncode[size_t((sample >> 3) + 4096)];
}

void Decode(const uint8_t* octets, size_t count, int16_t* samples)
{
    for (size_t i = 0; i < count; ++i)
        samples[i] = kDecode[octets[i]];
}

void Encode(const int16_t* samples, size_t count, uint8_t* octets)
{
    for (size_t i = 0; i < count; ++i)
        octets[i] = Encode(samples[i]);
}

} // namespace valaw
