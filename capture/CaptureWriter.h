#pragma once
// Writes LAPD frames as a capture file of link type LINUX_LAPD: pcap through
// libpcap's dumper, pcapng through the block writer (with a comment per
// packet). A file is written under a temporary name and takes the place of
// the old one only when it is complete.

#include "LapdSide.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>

class QSaveFile;
struct pcap;
struct pcap_dumper;

enum class TCaptureFormat { Pcap, Pcapng };

class TCaptureWriter {
public:
    // The whole packet, pseudo-header included, is kept up to this length.
    static constexpr uint32_t kSnapLength = 65535;

    TCaptureWriter();
    ~TCaptureWriter(); // an open file that was not closed is thrown away
    TCaptureWriter(const TCaptureWriter&) = delete;
    TCaptureWriter& operator=(const TCaptureWriter&) = delete;

    // "-" is standard output.
    bool Open(const QString& fileName, TCaptureFormat format);
    // timeUs: microseconds since 1970 (UTC); sent: by this side; thisSide:
    // the side the trace was taken on; comment: UTF-8, pcapng only.
    bool Write(uint64_t timeUs, bool sent, TLapdSide thisSide, QByteArrayView frame,
               QByteArrayView comment = {});
    // Hands everything written so far to the file or pipe.
    bool Flush();
    // Completes the file; false when anything could not be written.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }
    QString ErrorString() const { return m_error; }

private:
    bool Fail(const QString& text);
    bool WritePending();
    void Discard();

    TCaptureFormat m_format = TCaptureFormat::Pcap;
    std::unique_ptr<QSaveFile> m_save;
    FILE* m_file = nullptr;
    pcap* m_dead = nullptr;
    pcap_dumper* m_dumper = nullptr;
    QByteArray m_pending; // pcapng blocks not yet handed to the file
    QByteArray m_packet;  // scratch: pseudo-header and frame
    QString m_error;
};
