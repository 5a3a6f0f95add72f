#pragma once
// The three pcapng blocks a capture of one interface needs, little-endian:
// section header, interface description, and one enhanced packet block per
// packet (time stamps in microseconds, the default resolution).

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

// Direction bits of the enhanced packet block's flags option.
inline constexpr uint32_t kPcapngInbound = 1;
inline constexpr uint32_t kPcapngOutbound = 2;

void AppendPcapngSectionHeader(QByteArray& out);
void AppendPcapngInterface(QByteArray& out, uint16_t linkType, uint32_t snapLength);
// data is what was captured of a packet of originalLength octets; comment is
// UTF-8, cut at a character boundary where an option cannot hold it all.
void AppendPcapngPacket(QByteArray& out, uint64_t timeUs, QByteArrayView data, uint32_t originalLength,
                        uint32_t flags, QByteArrayView comment);
