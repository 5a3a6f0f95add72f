#pragma once
// Reads pcap and pcapng files through libpcap and hands on the LAPD frames of
// link types LINUX_LAPD (with the direction from the pseudo-header) and LAPD
// (without one). Packets of any other link type are skipped and counted.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <optional>

struct pcap;

struct TCapturePacket {
    uint64_t TimeUs = 0;      // microseconds since 1970 (UTC)
    std::optional<bool> Sent; // from a pseudo-header: sent by the capturing side
    QByteArray Frame;         // from the LAPD address field on
};

class TCaptureReader {
public:
    enum class TStatus { Packet, End, Failed };

    TCaptureReader() = default;
    ~TCaptureReader();
    TCaptureReader(const TCaptureReader&) = delete;
    TCaptureReader& operator=(const TCaptureReader&) = delete;

    // "-" is standard input.
    bool Open(const QString& fileName);
    // Takes the stream over (it is closed with the reader).
    bool Open(FILE* stream);

    // Failed: the file is damaged or cut short; the packets before it stand.
    TStatus Next(TCapturePacket& packet);

    int LinkType() const { return m_linkType; }
    bool IsLapd() const;
    uint64_t PacketsRead() const { return m_read; }
    uint64_t OtherLinkType() const { return m_otherLinkType; }
    uint64_t TooShort() const { return m_tooShort; } // LINUX_LAPD packets without a whole header
    QString ErrorString() const { return m_error; }

private:
    void Close();

    pcap* m_pcap = nullptr;
    int m_linkType = -1;
    uint64_t m_read = 0;
    uint64_t m_otherLinkType = 0;
    uint64_t m_tooShort = 0;
    QString m_error;
};

// True when the file begins like a pcap or pcapng file (any byte order or
// time-stamp resolution), so a file is taken as a capture by its content.
bool IsCaptureFile(const QString& fileName);
bool IsCaptureHead(const QByteArray& head);
