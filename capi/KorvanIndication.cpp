// TCapi20: the indications of the KORVAN driver ('KORV'), routed by their
// kind byte: account registration, short messages, call statistics,
// contacts with pictures, service discovery, thread names and the trace.
// The trace (kind 14) and service discovery (kind 15) switch the component
// to the KORVAN form of the trace line.

#include "KorvanIndication.h"

#include "CapiMessageReader.h"
#include "ContactPicture.h"
#include "TFCapi20.h"

#include <QDate>
#include <QTime>

#include <optional>

namespace {

// OnInfo codes the driver's messages map to.
constexpr uint16_t kInfoRegistration = 0xA000;
constexpr uint16_t kInfoRegistrationFlagged = 0xA003;
constexpr uint16_t kInfoAccountNumber = 0xA005;
constexpr uint16_t kInfoAccountText = 0xA100;
constexpr uint16_t kInfoDriverText = 0xA002;
constexpr uint16_t kInfoIndexedBase = 0xA010;
constexpr uint16_t kInfoSipStatus = 8;

// Picture sizes the driver hands over; anything else means no picture.
constexpr uint32_t kMinPictureSize = 2;
constexpr uint32_t kMaxPictureSize = 1048574;

QString ReadStructText(TCapiMessageReader& reader)
{
    return reader.ReadText(reader.ReadByte());
}

} // namespace

QString KorvanStateText(uint8_t state, const QString& name, const QString& reason)
{
    QString text = name;
    if (text.startsWith(u'<'))
        text.remove(0, 1);
    if (text.endsWith(u'>'))
        text.chop(1);
    if (state == 1)
        text += QStringLiteral(" registering");
    else if (state == 2)
        text += QStringLiteral(" registered");
    if (!reason.isEmpty()) {
        static const QString kFailed = QStringLiteral(" register failed");
        if (state == 0)
            text += kFailed;
        text += QStringLiteral(" <") + reason + u'>';
        // A failure because the own address changed is routine: the name alone.
        if (text.contains(QLatin1String("IP address changed")) && text.contains(kFailed))
            text.truncate(text.indexOf(kFailed));
    }
    return text;
}

// One handler per kind; a friend of TCapi20 for the state it keeps.
struct TKorvanIndications {
    using THandler = void (*)(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader);
    struct TKind {
        uint8_t Kind;
        THandler Handler;
    };

    static void Registration(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const uint8_t state = reader.ReadByte();
        const QString name = ReadStructText(reader);
        const QString reason = ReadStructText(reader);
        const uint8_t flag = reader.ReadByte();
        const uint8_t number = reader.ReadByte();
        const QString text = KorvanStateText(state, name, reason);
        if (flag != 0 && capi.OnInfo)
            capi.OnInfo(controller, kInfoRegistrationFlagged, text);
        if (capi.OnInfo)
            capi.OnInfo(controller, kInfoAccountNumber, QString::number(number));
        if (capi.OnInfo)
            capi.OnInfo(controller, kInfoRegistration, text);
    }

    static void AccountText(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const QString text = ReadStructText(reader);
        if (capi.OnInfo)
            capi.OnInfo(controller, kInfoAccountText, text);
    }

    static void Enum(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const QString text = ReadStructText(reader);
        if (capi.OnENUM)
            capi.OnENUM(controller, 0, text);
    }

    static void ShortMessage(TCapi20& capi, uint32_t /*controller*/, TCapiMessageReader& reader)
    {
        const QString name = ReadStructText(reader);
        const QString number = ReadStructText(reader);
        const QString message = ReadStructText(reader);
        reader.ReadByte(); // not used
        if (capi.OnSMS)
            capi.OnSMS(name, number, message, false);
    }

    static void Statistics(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        uint32_t dwords[13];
        for (uint32_t& dword : dwords)
            dword = reader.ReadDword();
        // Tenths arrive as integers.
        auto tenths = [](uint32_t value) { return float(double(value) / 10.0); };
        TVoIPStatistics& record = capi.m_statistics;
        record = TVoIPStatistics();
        record.Value1 = dwords[0];
        record.Value2 = dwords[1];
        record.Value3 = tenths(dwords[2]);
        record.Value4 = dwords[3];
        record.Value5 = dwords[4];
        record.Value6 = dwords[5];
        record.Value7 = dwords[6];
        record.Value8 = dwords[7];
        record.Value9 = dwords[8] > 0;
        record.Value10 = uint8_t(dwords[9]);
        record.Value11 = tenths(dwords[10]);
        record.Value12 = dwords[11];
        record.Value13 = dwords[12];
        record.Text = ReadStructText(reader);
        if (capi.OnStatistics)
            capi.OnStatistics(controller, record);
    }

    static void SipStatus(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const uint16_t status = reader.ReadWord();
        const QString text = ReadStructText(reader);
        if (capi.OnInfo)
            capi.OnInfo(controller, kInfoSipStatus, QString::number(status) + u':' + text);
    }

    static void DriverText(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const QString text = ReadStructText(reader);
        if (capi.OnInfo)
            capi.OnInfo(controller, kInfoDriverText, text);
    }

    static void Trace(TCapi20& capi, uint32_t /*controller*/, TCapiMessageReader& reader)
    {
        capi.m_korvanTraceMode = true;
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
        capi.L3Trace(sent ? u'T' : u'R', reader.CurrentData(), when, reader.Remaining());
    }

    static void Discovery(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        capi.m_korvanTraceMode = true;
        const QString uri = ReadStructText(reader);
        const QString host = ReadStructText(reader);
        const uint32_t ttl = reader.ReadDword();
        const QString software = ReadStructText(reader);
        if (capi.OnMDNS)
            capi.OnMDNS(controller, ttl, uri, host, software);
    }

    static void IndexedText(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const uint8_t index = reader.ReadByte();
        const QString text = ReadStructText(reader);
        if (capi.OnInfo)
            capi.OnInfo(controller, uint16_t(kInfoIndexedBase + index), text);
    }

    static void ThreadName(TCapi20& capi, uint32_t controller, TCapiMessageReader& reader)
    {
        const uint32_t threadId = reader.ReadDword();
        const QString name = ReadStructText(reader);
        if (capi.OnThreadName)
            capi.OnThreadName(controller, threadId, name);
    }

    static void AutoAnswer(TCapi20& capi, uint32_t controller, TCapiMessageReader& /*reader*/)
    {
        if (capi.OnAutoAnswer)
            capi.OnAutoAnswer(controller, 0);
    }

    static void Contact(TCapi20& capi, uint32_t /*controller*/, TCapiMessageReader& reader)
    {
        const QString id = ReadStructText(reader);
        const QString familyName = ReadStructText(reader);
        const QString givenName = ReadStructText(reader);
        const QString number = ReadStructText(reader);
        const QString numberString = ReadStructText(reader);
        const uint32_t size = reader.ReadDword();
        if (!capi.OnGContact)
            return;
        std::optional<TBitmap> picture;
        if (size >= kMinPictureSize && size <= kMaxPictureSize)
            picture = ReadPicture(reader, size);
        capi.OnGContact(id, familyName, givenName, number, numberString, picture ? &*picture : nullptr);
    }

    // The driver is a library in this process and hands over a pointer into
    // its own memory. A 32-bit address cannot name memory of a 64-bit
    // process, so a driver on a 64-bit host appends the full address; without
    // it (or with 0) there is no picture.
    static std::optional<TBitmap> ReadPicture(TCapiMessageReader& reader, uint32_t size)
    {
        reader.ReadDword(); // the 32-bit address
        if (reader.Remaining() < 8)
            return std::nullopt;
        const uint64_t low = reader.ReadDword();
        const uint64_t high = reader.ReadDword();
        const uint64_t address = low | high << 32;
        if (address == 0)
            return std::nullopt;
        return DecodeContactPicture(reinterpret_cast<const uint8_t*>(uintptr_t(address)), size);
    }

    static void ContactStatus(TCapi20& capi, uint32_t /*controller*/, TCapiMessageReader& reader)
    {
        const uint8_t status = reader.ReadByte();
        if (capi.OnGContactStatus)
            capi.OnGContactStatus(status);
    }

    // Kinds not listed are answered without effect.
    static constexpr TKind kKinds[] = {
        {2, Registration}, {3, AccountText}, {4, Enum},       {9, ShortMessage}, {10, Statistics},
        {11, SipStatus},   {13, DriverText}, {14, Trace},      {15, Discovery},   {16, IndexedText},
        {18, ThreadName},  {34, AutoAnswer}, {35, Contact},    {36, ContactStatus},
    };
};

uint8_t TCapi20::KorvanIndication(uint32_t controller, TCapiMessageReader& reader)
{
    const uint8_t kind = reader.ReadByte();
    for (const TKorvanIndications::TKind& entry : TKorvanIndications::kKinds) {
        if (entry.Kind == kind) {
            entry.Handler(*this, controller, reader);
            break;
        }
    }
    return kind;
}
