#pragma once
// The link types of LAPD captures and the 16-octet pseudo-header of
// LINUX_LAPD, which carries the direction and the side the capture was taken
// on; packet analysers decode what follows as LAPD, then Q.931.

#include "LapdSide.h"

#include <array>
#include <cstdint>

inline constexpr int kLinkTypeLinuxLapd = 177; // pseudo-header, then the frame
inline constexpr int kLinkTypeLapd = 203;      // the frame alone
inline constexpr uint32_t kLinuxLapdHeaderSize = 16;

using TLinuxLapdHeader = std::array<uint8_t, kLinuxLapdHeaderSize>;

// sent: the frame went out from this side; thisSide: the side the capture
// was taken on, so that the C/R bit reads as command or response.
TLinuxLapdHeader LinuxLapdHeader(bool sent, TLapdSide thisSide);

// True when the header's packet type says "sent by us"; every other type is
// received. The header must hold kLinuxLapdHeaderSize octets.
bool LinuxLapdSent(const uint8_t* header);
