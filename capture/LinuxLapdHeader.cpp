#include "LinuxLapdHeader.h"

namespace {

// Packet types of the Linux cooked header.
constexpr uint16_t kPacketToUs = 0;
constexpr uint16_t kPacketOutgoing = 4;
constexpr uint16_t kHardwareLapd = 8445; // ARPHRD_LAPD
constexpr uint16_t kProtocolLapd = 0x0030; // ETH_P_LAPD
// The one address octet: which side the capture was taken on.
constexpr uint8_t kUserSide = 0;
constexpr uint8_t kNetworkSide = 1;

void PutBigEndian(TLinuxLapdHeader& header, size_t at, uint16_t value)
{
    header[at] = uint8_t(value >> 8);
    header[at + 1] = uint8_t(value);
}

} // namespace

TLinuxLapdHeader LinuxLapdHeader(bool sent, TLapdSide thisSide)
{
    TLinuxLapdHeader header{};
    PutBigEndian(header, 0, sent ? kPacketOutgoing : kPacketToUs);
    PutBigEndian(header, 2, kHardwareLapd);
    PutBigEndian(header, 4, 1); // address length
    header[6] = thisSide == TLapdSide::Network ? kNetworkSide : kUserSide;
    PutBigEndian(header, 14, kProtocolLapd);
    return header;
}

bool LinuxLapdSent(const uint8_t* header)
{
    return (uint16_t(header[0] << 8) | header[1]) == kPacketOutgoing;
}
