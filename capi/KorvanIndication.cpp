// TCapi20: the indications of the KORVAN driver ('KORV'), routed by their
// kind byte. The trace (kind 14) and service discovery (kind 15) switch the
// component to the KORVAN form of the trace line.

#include "TFCapi20.h"

#include "CapiMessageReader.h"

#include <QDate>
#include <QTime>

namespace {

using TKorvanHandler = void (TCapi20::*)(uint32_t controller, TCapiMessageReader& reader);

struct TKorvanKind {
    uint8_t Kind;
    TKorvanHandler Handler;
};

QString ReadStructText(TCapiMessageReader& reader)
{
    return reader.ReadText(reader.ReadByte());
}

} // namespace

uint8_t TCapi20::KorvanIndication(uint32_t controller, TCapiMessageReader& reader)
{
    // Kinds not listed are answered without effect.
    static constexpr TKorvanKind kKinds[] = {
        {14, &TCapi20::KorvanTraceIndication},
        {15, &TCapi20::KorvanDiscoveryIndication},
    };
    const uint8_t kind = reader.ReadByte();
    for (const TKorvanKind& entry : kKinds) {
        if (entry.Kind == kind) {
            (this->*entry.Handler)(controller, reader);
            break;
        }
    }
    return kind;
}

void TCapi20::KorvanTraceIndication(uint32_t /*controller*/, TCapiMessageReader& reader)
{
    m_korvanTraceMode = true;
    int parts[7];
    for (int& part : parts)
        part = reader.ReadWord();
    const bool sent = reader.ReadByte() != 0;
    const QDate date(parts[0], parts[1], parts[2]);
    const QTime time(parts[3], parts[4], parts[5], parts[6]);
    // The driver's clock is trusted only when it names a real moment.
    QDateTime when(date, time);
    if (!date.isValid() || !time.isValid() || !when.isValid())
        when = QDateTime::currentDateTime();
    L3Trace(sent ? u'T' : u'R', reader.CurrentData(), when, reader.Remaining());
}

void TCapi20::KorvanDiscoveryIndication(uint32_t controller, TCapiMessageReader& reader)
{
    m_korvanTraceMode = true;
    const QString uri = ReadStructText(reader);
    const QString host = ReadStructText(reader);
    const uint32_t ttl = reader.ReadDword();
    const QString software = ReadStructText(reader);
    if (OnMDNS)
        OnMDNS(controller, ttl, uri, host, software);
}
