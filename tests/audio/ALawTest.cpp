#include "ALaw.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct TKnown {
    uint8_t Octet; // as on the B channel, bit order reversed
    int16_t Sample;
};

// Reference values of G.711 A-law with each octet's bits reversed.
constexpr TKnown kKnown[] = {
    {0xAB, 8},      {0xAA, -8},     {0x55, 32256}, {0x54, -32256}, {0x00, -5504},
    {0x01, 5504},   {0x80, -5248},  {0xFF, 848},   {0x35, 26112},  {0x2A, -24},
};

TEST(ALaw, DecodesKnownLineOctets)
{
    for (const TKnown& known : kKnown)
        EXPECT_EQ(valaw::Decode(known.Octet), known.Sample) << int(known.Octet);
}

TEST(ALaw, EncodesKnownSamples)
{
    for (const TKnown& known : kKnown)
        EXPECT_EQ(valaw::Encode(known.Sample), known.Octet) << known.Sample;
    EXPECT_EQ(valaw::Encode(0), valaw::kSilence);
    EXPECT_EQ(valaw::Encode(-1), 0xAA); // just below zero: the negative code next to it
    EXPECT_EQ(valaw::Encode(32767), 0x55);
    EXPECT_EQ(valaw::Encode(-32768), 0x54);
}

TEST(ALaw, EveryOctetSurvivesARoundTrip)
{
    for (int octet = 0; octet < 256; ++octet)
        EXPECT_EQ(valaw::Encode(valaw::Decode(uint8_t(octet))), octet) << octet;
}

TEST(ALaw, EncodingPicksTheNearestLevelWithinItsSegment)
{
    // The error of a round trip stays within half a step of the segment.
    for (int sample = -32768; sample <= 32767; sample += 7) {
        const int decoded = valaw::Decode(valaw::Encode(int16_t(sample)));
        const int magnitude = std::abs(sample);
        const int step = magnitude < 512 ? 16 : 16 << (31 - __builtin_clz(unsigned(magnitude)) - 8);
        EXPECT_LE(std::abs(decoded - sample), step) << sample;
    }
}

TEST(ALaw, BlocksConvertBothWays)
{
    const int16_t samples[] = {0, 1000, -1000, 32767, -32768};
    uint8_t octets[5] = {};
    valaw::Encode(samples, 5, octets);
    int16_t back[5] = {};
    valaw::Decode(octets, 5, back);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(back[i], valaw::Decode(valaw::Encode(samples[i])));
}

} // namespace
