#include "CaptureWriter.h"

#include "LinuxLapdHeader.h"
#include "PcapngBlocks.h"

#include <QSaveFile>
#include <pcap/pcap.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qsizetype kPendingBlock = qsizetype(1) << 16;
constexpr uint32_t kMaxFrame = TCaptureWriter::kSnapLength - kLinuxLapdHeaderSize;

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TCaptureWriter::TCaptureWriter() = default;

TCaptureWriter::~TCaptureWriter()
{
    Discard();
}

bool TCaptureWriter::Fail(const QString& text)
{
    if (m_error.isEmpty())
        m_error = text;
    return false;
}

void TCaptureWriter::Discard()
{
    if (m_dumper)
        pcap_dump_close(m_dumper); // closes m_file too
    else if (m_file)
        std::fclose(m_file);
    if (m_dead)
        pcap_close(m_dead);
    m_dumper = nullptr;
    m_dead = nullptr;
    m_file = nullptr;
    if (m_save)
        m_save->cancelWriting();
    m_save.reset();
    m_pending.clear();
}

bool TCaptureWriter::Open(const QString& fileName, TCaptureFormat format)
{
    Discard();
    m_error.clear();
    m_format = format;
    int fd = -1;
    if (fileName == QLatin1String("-")) {
        fd = ::dup(STDOUT_FILENO);
    } else {
        m_save = std::make_unique<QSaveFile>(fileName);
        // A directory that takes no new files may still hold a writable file.
        m_save->setDirectWriteFallback(true);
        if (!m_save->open(QIODevice::WriteOnly)) {
            Fail(m_save->errorString());
            m_save.reset();
            return false;
        }
        fd = ::dup(int(m_save->handle()));
    }
    if (fd < 0 || !(m_file = ::fdopen(fd, "wb"))) {
        Fail(SystemError());
        if (fd >= 0)
            ::close(fd);
        Discard();
        return false;
    }
    if (format == TCaptureFormat::Pcapng) {
        AppendPcapngSectionHeader(m_pending);
        AppendPcapngInterface(m_pending, kLinkTypeLinuxLapd, kSnapLength);
        return WritePending() || (Discard(), false);
    }
    m_dead = pcap_open_dead_with_tstamp_precision(kLinkTypeLinuxLapd, int(kSnapLength),
                                                  PCAP_TSTAMP_PRECISION_MICRO);
    if (m_dead)
        m_dumper = pcap_dump_fopen(m_dead, m_file);
    if (!m_dumper) {
        Fail(m_dead ? QString::fromLocal8Bit(pcap_geterr(m_dead)) : QStringLiteral("out of memory"));
        Discard();
        return false;
    }
    if (std::ferror(m_file)) {
        Fail(SystemError());
        Discard();
        return false;
    }
    return true;
}

bool TCaptureWriter::WritePending()
{
    if (m_pending.isEmpty())
        return true;
    const size_t size = size_t(m_pending.size());
    const bool written = std::fwrite(m_pending.constData(), 1, size, m_file) == size;
    m_pending.resize(0);
    return written || Fail(SystemError());
}

bool TCaptureWriter::Write(uint64_t timeUs, bool sent, TLapdSide thisSide, QByteArrayView frame,
                           QByteArrayView comment)
{
    if (!m_file)
        return Fail(QStringLiteral("no capture file is open"));
    const TLinuxLapdHeader header = LinuxLapdHeader(sent, thisSide);
    const uint32_t length = uint32_t(kLinuxLapdHeaderSize + std::min<qsizetype>(frame.size(), UINT32_MAX - 16));
    m_packet.resize(0);
    m_packet.append(reinterpret_cast<const char*>(header.data()), qsizetype(header.size()));
    m_packet.append(frame.data(), std::min<qsizetype>(frame.size(), kMaxFrame));

    if (m_format == TCaptureFormat::Pcapng) {
        AppendPcapngPacket(m_pending, timeUs, m_packet, length, sent ? kPcapngOutbound : kPcapngInbound, comment);
        return m_pending.size() < kPendingBlock || WritePending();
    }
    // The classic format holds 32-bit seconds.
    pcap_pkthdr packet = {};
    packet.ts.tv_sec = time_t(std::min<uint64_t>(timeUs / 1000000, UINT32_MAX));
    packet.ts.tv_usec = suseconds_t(timeUs % 1000000);
    packet.caplen = uint32_t(m_packet.size());
    packet.len = length;
    pcap_dump(reinterpret_cast<u_char*>(m_dumper), &packet, reinterpret_cast<const u_char*>(m_packet.constData()));
    return !std::ferror(m_file) || Fail(SystemError());
}

bool TCaptureWriter::Flush()
{
    if (!m_file)
        return Fail(QStringLiteral("no capture file is open"));
    if (!WritePending())
        return false;
    return std::fflush(m_file) == 0 || Fail(SystemError());
}

bool TCaptureWriter::Close()
{
    if (!m_file)
        return Fail(QStringLiteral("no capture file is open"));
    bool ok = Flush() && !std::ferror(m_file);
    if (m_dumper)
        pcap_dump_close(m_dumper);
    else
        ok = std::fclose(m_file) == 0 && ok;
    if (m_dead)
        pcap_close(m_dead);
    m_dumper = nullptr;
    m_dead = nullptr;
    m_file = nullptr;
    if (!ok)
        Fail(SystemError());
    if (m_save) {
        if (ok && !m_save->commit())
            ok = Fail(m_save->errorString());
        if (!ok)
            m_save->cancelWriting();
        m_save.reset();
    }
    return ok;
}
