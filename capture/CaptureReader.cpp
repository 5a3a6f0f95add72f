#include "CaptureReader.h"

#include "LinuxLapdHeader.h"

#include <QFile>
#include <pcap/pcap.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr uint32_t kCaptureMagics[] = {
    0xA1B2C3D4, 0xD4C3B2A1, // pcap, microseconds
    0xA1B23C4D, 0x4D3CB2A1, // pcap, nanoseconds
    0x0A0D0D0A,             // pcapng section header (the same either byte order)
};

} // namespace

TCaptureReader::~TCaptureReader()
{
    Close();
}

void TCaptureReader::Close()
{
    if (m_pcap)
        pcap_close(m_pcap);
    m_pcap = nullptr;
}

bool TCaptureReader::Open(const QString& fileName)
{
    if (fileName == QLatin1String("-")) {
        const int fd = ::dup(STDIN_FILENO);
        FILE* stream = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
        if (!stream) {
            if (fd >= 0)
                ::close(fd);
            m_error = QStringLiteral("cannot read standard input");
            return false;
        }
        return Open(stream);
    }
    FILE* stream = std::fopen(QFile::encodeName(fileName).constData(), "rb");
    if (!stream) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return Open(stream);
}

bool TCaptureReader::Open(FILE* stream)
{
    Close();
    m_error.clear();
    m_read = m_otherLinkType = m_tooShort = 0;
    char error[PCAP_ERRBUF_SIZE] = {};
    // libpcap closes the stream with the capture, also when opening fails.
    m_pcap = pcap_fopen_offline_with_tstamp_precision(stream, PCAP_TSTAMP_PRECISION_MICRO, error);
    if (!m_pcap) {
        m_error = QString::fromLocal8Bit(error);
        return false;
    }
    m_linkType = pcap_datalink(m_pcap);
    return true;
}

bool TCaptureReader::IsLapd() const
{
    return m_linkType == kLinkTypeLinuxLapd || m_linkType == kLinkTypeLapd;
}

TCaptureReader::TStatus TCaptureReader::Next(TCapturePacket& packet)
{
    if (!m_pcap)
        return TStatus::End;
    for (;;) {
        pcap_pkthdr* header = nullptr;
        const u_char* data = nullptr;
        const int got = pcap_next_ex(m_pcap, &header, &data);
        if (got == PCAP_ERROR_BREAK)
            return TStatus::End;
        if (got != 1) {
            m_error = QString::fromLocal8Bit(pcap_geterr(m_pcap));
            return TStatus::Failed;
        }
        ++m_read;
        if (!IsLapd()) {
            ++m_otherLinkType;
            continue;
        }
        const auto* octets = reinterpret_cast<const char*>(data);
        qsizetype size = qsizetype(header->caplen);
        packet.Sent.reset();
        if (m_linkType == kLinkTypeLinuxLapd) {
            if (header->caplen < kLinuxLapdHeaderSize) {
                ++m_tooShort;
                continue;
            }
            packet.Sent = LinuxLapdSent(data);
            octets += kLinuxLapdHeaderSize;
            size -= kLinuxLapdHeaderSize;
        }
        // Times before 1970 do not occur in traces; they read as 1970.
        const int64_t seconds = header->ts.tv_sec;
        packet.TimeUs = seconds < 0 ? 0 : uint64_t(seconds) * 1000000 + uint64_t(header->ts.tv_usec % 1000000);
        packet.Frame = QByteArray(octets, size);
        return TStatus::Packet;
    }
}

bool IsCaptureHead(const QByteArray& head)
{
    if (head.size() < 4)
        return false;
    const auto* b = reinterpret_cast<const uint8_t*>(head.constData());
    const uint32_t magic = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    for (const uint32_t known : kCaptureMagics)
        if (magic == known)
            return true;
    return false;
}

bool IsCaptureFile(const QString& fileName)
{
    QFile file(fileName);
    // A pipe or device could block or never end; only regular files are looked into.
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return false;
    return IsCaptureHead(file.read(4));
}
