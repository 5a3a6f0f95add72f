// An arbitrary capture file through the reader and the import: libpcap's
// pcap and pcapng parsing, the pseudo-header, the direction rules and the
// rows. Every row must be a time of day, T or R, and the hex line of exactly
// the frame it came from; rows never outnumber the packets read.

#include "CaptureReader.h"
#include "CaptureRows.h"
#include "CaptureTime.h"
#include "HexLine.h"

#include <cstdint>
#include <cstdio>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0; // fmemopen takes no empty buffer
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!stream)
        return 0;
    TCaptureReader reader;
    if (!reader.Open(stream))
        return 0;
    {
        TCaptureImport import(reader, false);
        uint64_t rows = 0;
        import.Run([&](const TCaptureRowTexts& texts, const QByteArray& frame) {
            ++rows;
            Check(ParseTimeOfDay(QStringView(texts[kTimeColumn]).toUtf8()).has_value());
            Check(texts[kDirectionColumn] == u"T" || texts[kDirectionColumn] == u"R");
            Check(texts[kDataColumn]
                  == HexLine(reinterpret_cast<const uint8_t*>(frame.constData()), uint32_t(frame.size())));
            return true;
        });
        Check(rows == import.Rows());
        Check(rows + reader.OtherLinkType() + reader.TooShort() == reader.PacketsRead());
        Check(rows == 0 || import.DirectionSource().has_value());
    }
    return 0;
}
