// TCapi20: the D-channel trace. Switches the controller's trace on and off,
// answers every MANUFACTURER_IND, and turns each traced frame into one trace
// line for OnL3Trace and its call events for OnL3TraceCall.

#include "TFCapi20.h"

#include "CapiMessageReader.h"
#include "CapiMessageWriter.h"
#include "FrameDecoder.h"
#include "HexLine.h"
#include "TextCodec.h"

#include <QTime>

namespace {

constexpr uint32_t kManuAvm = 0x214D5641;    // 'AVM!'
constexpr uint32_t kManuKorvan = 0x56524F4B; // 'KORV'
constexpr uint8_t kManufacturer = 0xFF;
constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kResponse = 0x83;

// Class and function of AVM trace indications.
constexpr uint32_t kAvmTraceClass = 0;
constexpr uint32_t kAvmTraceFunction = 1;
// What follows the ManuID in the trace requests. AVM: class 0, function 1,
// then a struct of four bytes; KORVAN: two bytes.
constexpr uint8_t kAvmTraceOn[] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x80, 0x0C, 0x00, 0x00};
constexpr uint8_t kAvmTraceOff[] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00};
constexpr uint8_t kKorvanTraceOn[] = {0x00, 0x01};
constexpr uint8_t kKorvanTraceOff[] = {0x00, 0x00};
static_assert(sizeof kAvmTraceOn == sizeof kAvmTraceOff && sizeof kKorvanTraceOn == sizeof kKorvanTraceOff);

// Kind words of AVM trace indications that mean "sent".
constexpr uint16_t kAvmSentKind = 0x0102;
constexpr uint8_t kAvmSentKindHigh = 0x08;

constexpr uint8_t kQ931 = 0x08;
constexpr uint8_t kSetup = 0x05;
constexpr uint8_t kSetupAcknowledge = 0x0D;
constexpr uint8_t kRelease = 0x4D;
constexpr uint8_t kReleaseComplete = 0x5A;
constexpr uint8_t kCauseElement = 0x08;
constexpr uint16_t kElementEventBase = 1000;

constexpr char kSeparatorLine[] = "-------------------------------------------";

struct TManufacturerMatch {
    const char* Text;
    TCapi20::TTraceForm Form;
};
// First match wins; the comparison is case-sensitive.
constexpr TManufacturerMatch kTraceForms[] = {
    {"AVM", TCapi20::TTraceForm::Avm},
    {"Gerdes", TCapi20::TTraceForm::Avm},
    {"KORVAN", TCapi20::TTraceForm::Korvan},
};

QString EightBitText(const uint8_t* octets, uint32_t count)
{
    return count == 0 ? QString() : DecodeText(octets, count);
}

} // namespace

TCapi20::TTraceForm TCapi20::TraceForm()
{
    const QString manufacturer = GetManufacturer();
    for (const TManufacturerMatch& match : kTraceForms)
        if (manufacturer.contains(QLatin1String(match.Text)))
            return match.Form;
    return TTraceForm::None;
}

uint16_t TCapi20::TraceRequest(bool on)
{
    switch (TraceForm()) {
    case TTraceForm::Avm:
        return AvmTraceRequest(on);
    case TTraceForm::Korvan:
        return KorvanTraceRequest(on);
    case TTraceForm::None:
        break;
    }
    return 1;
}

void TCapi20::StartTrace()
{
    TraceRequest(true);
}

void TCapi20::StopTrace()
{
    TraceRequest(false);
}

uint16_t TCapi20::PutTraceRequest(uint32_t manufacturerId, const uint8_t* data, uint32_t count)
{
    if (!CapiLoaded())
        return 1;
    const uint32_t applId = ApplID();
    TCapiMessageWriter writer;
    writer.Init(uint16_t(applId), kManufacturer, kRequest, NextMessageNumber());
    writer.AddDword(m_controller);
    writer.AddDword(manufacturerId);
    writer.AddBytes(data, count);
    return PutCapiMessage(applId, writer.Message());
}

uint16_t TCapi20::AvmTraceRequest(bool on)
{
    return PutTraceRequest(kManuAvm, on ? kAvmTraceOn : kAvmTraceOff, sizeof kAvmTraceOn);
}

uint16_t TCapi20::KorvanTraceRequest(bool on)
{
    return PutTraceRequest(kManuKorvan, on ? kKorvanTraceOn : kKorvanTraceOff, sizeof kKorvanTraceOn);
}

uint16_t TCapi20::ManufacturerResponse(uint32_t controller, uint16_t messageNumber, uint8_t result,
                                       uint32_t manufacturerId)
{
    if (!CapiLoaded())
        return 1;
    const uint32_t applId = ApplID();
    TCapiMessageWriter writer;
    writer.Init(uint16_t(applId), kManufacturer, kResponse, messageNumber);
    writer.AddDword(controller);
    writer.AddDword(manufacturerId);
    writer.AddByte(manufacturerId == kManuKorvan ? result : 0);
    return PutCapiMessage(applId, writer.Message());
}

void TCapi20::ManufacturerIndication(const uint8_t* message)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t controller = reader.ReadDword();
    const uint32_t id = reader.ReadDword();
    uint8_t result = 0;
    // The controller waits for the answer to every indication, so a host
    // event that throws must not cost the answer.
    try {
        if (id == kManuAvm)
            AvmTraceIndication(controller, reader);
        else if (id == kManuKorvan)
            result = KorvanIndication(controller, reader);
    } catch (...) {
    }
    ManufacturerResponse(controller, reader.MessageNumber(), result, id);
}

void TCapi20::AvmTraceIndication(uint32_t /*controller*/, TCapiMessageReader reader)
{
    const uint32_t traceClass = reader.ReadDword();
    const uint32_t function = reader.ReadDword();
    if (traceClass != kAvmTraceClass || function != kAvmTraceFunction)
        return;
    // The KORVAN form stamps lines with the time of arrival; the AVM form
    // takes its own time stamp, so the clock is read only when needed.
    const QDateTime time = m_korvanTraceMode ? QDateTime::currentDateTime() : QDateTime();
    reader.ReadByte(); // length of the manufacturer data; the frame runs to the message end
    const uint16_t kind = reader.ReadWord();
    const bool sent = kind == kAvmSentKind || (kind >> 8) == kAvmSentKindHigh;
    L3Trace(sent ? u'T' : u'R', reader.CurrentData(), time, reader.Remaining());
}

void TCapi20::L3Trace(QChar direction, const uint8_t* octets, const QDateTime& time, uint32_t count)
{
    if (octets == nullptr)
        count = 0;
    if (m_korvanTraceMode) {
        L3TraceKorvan(direction, octets, time, count);
        return;
    }
    if (count == 0)
        return; // nothing was traced
    const uint32_t layer2 = DecodeLayer2(nullptr, octets, count);
    if (!m_l2Display && layer2 >= count)
        return; // a layer-2 frame only (RR, SABME, UA, ...)
    if (OnL3Trace) {
        const QString line = TimeStamp() + QStringLiteral(": ") + direction + QStringLiteral(": ")
            + FrameSummary(octets, count, m_l2Display) + QStringLiteral(": ") + HexLine(octets, count);
        OnL3Trace(0, line);
    }
    if (OnL3TraceCall)
        L3TraceCalls(direction, octets, count, layer2);
}

void TCapi20::L3TraceCalls(QChar direction, const uint8_t* octets, uint32_t count, uint32_t layer2)
{
    // Only Q.931 messages carry calls: layer-2 frames and TEI management
    // would otherwise report "unknown" messages on call reference 0.
    if (layer2 <= 1 || layer2 >= count || octets[layer2] != kQ931)
        return;
    uint32_t p = layer2 + 1;
    const uint32_t callReference = CallReference(octets, count, p);
    uint8_t messageType = 0;
    if (p < count)
        messageType = octets[p++];

    uint8_t pending = messageType == kRelease || messageType == kReleaseComplete ? messageType : 0;
    if (pending == 0 && OnL3TraceCall)
        OnL3TraceCall(callReference, messageType, MessageTypeName(messageType));
    if ((messageType == kSetup || messageType == kSetupAcknowledge) && OnL3TraceCall)
        OnL3TraceCall(callReference, 0, QString(direction));

    while (p < count) {
        const uint8_t id = octets[p++];
        if (id >= 0x80)
            continue; // single-octet element
        uint32_t length = 0;
        if (p < count)
            length = octets[p++];
        length = std::min(length, count - p);
        const QString text = DecodeElement(nullptr, kTopLevel, id, octets + p, length);
        if (id == kCauseElement && text.contains(QLatin1String("Non-selected user clearing")))
            pending = 0;
        p += length;
        if (OnL3TraceCall)
            OnL3TraceCall(callReference, uint16_t(kElementEventBase + id), text);
    }
    // A RELEASE is reported after its elements; a RELEASE COMPLETE only when
    // received; neither when another terminal took the call.
    if (pending != 0 && (pending == kRelease || direction != u'T') && OnL3TraceCall)
        OnL3TraceCall(callReference, pending, MessageTypeName(pending));
}

void TCapi20::L3TraceKorvan(QChar direction, const uint8_t* octets, const QDateTime& time, uint32_t count)
{
    if (!OnL3Trace)
        return;
    const QString stamp = time.isValid() ? time.toString(QStringLiteral("hh:mm:ss,zzz")) : TimeStamp();
    // Octet 0 counts the octets of the head line; the rest is the body.
    const uint32_t headLength = count == 0 ? 0 : std::min<uint32_t>(octets[0], count - 1);
    const uint32_t bodyStart = count == 0 ? 0 : 1 + headLength;
    const QString head = stamp + QStringLiteral(": ") + direction + QStringLiteral(": ")
        + EightBitText(octets + (count == 0 ? 0 : 1), headLength);
    const QString body = EightBitText(octets + bodyStart, count - bodyStart);
    OnL3Trace(0, QLatin1String(kSeparatorLine));
    if (OnL3Trace)
        OnL3Trace(0, head);
    if (OnL3Trace)
        OnL3Trace(0, body);
}
