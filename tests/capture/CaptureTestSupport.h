#pragma once
// Time zone and capture-file helpers shared by the capture tests.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

// Sets the process's time zone for the lifetime of the object.
class TTimeZone {
public:
    explicit TTimeZone(const char* zone);
    ~TTimeZone();

private:
    QByteArray m_old;
    bool m_had;
};

struct TRawPacket {
    uint32_t Seconds;
    uint32_t Micro;
    QByteArray Data; // as captured, pseudo-header included
    uint32_t Length = 0; // on the wire; 0: the captured length
};

// A classic little-endian pcap file, written by hand so that files of any
// link type, and damaged ones, can be made without the code under test.
QByteArray PcapFile(uint32_t linkType, const std::vector<TRawPacket>& packets);

QByteArray Hex(const char* text);
