#pragma once
// G.711 A-law as CAPI controllers carry voice on a B channel: each octet with
// its bit order reversed (bit 0 is sent first on the line).

#include <cstddef>
#include <cstdint>

namespace valaw {

// One line octet to a 16-bit linear sample.
int16_t Decode(uint8_t octet);
// One 16-bit linear sample to a line octet.
uint8_t Encode(int16_t sample);

void Decode(const uint8_t* octets, size_t count, int16_t* samples);
void Encode(const int16_t* samples, size_t count, uint8_t* octets);

// The line octet of silence (the A-law code next to zero, positive).
constexpr uint8_t kSilence = 0xAB;

} // namespace valaw
