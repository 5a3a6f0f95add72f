// TCapi20: the call-control requests and the responses that CAPI demands for
// every indication. The handlers send most of them; ConnectResponse and
// DisconnectRequest are also the application's.

#include "TFCapi20.h"

#include "CapiMessageWriter.h"

#include <array>

namespace {

constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kResponse = 0x83;
constexpr uint16_t kPowerManagementSelector = 4;
constexpr uint32_t kWidebandCip = 0x20; // 7 kHz audio in the CIP mask
constexpr uint16_t kAcceptAndClear = 200; // rejects above this accept, then clear

// Texts appended to "Connect Response: " for the reject values 0 to 8.
constexpr std::array<const char*, 9> kRejectTexts = {
    "accept call",
    "ignore call",
    "reject call, normal call clearing",
    "reject call, user busy",
    "reject call, requested circuit/channel not available",
    "reject call, facility rejected",
    "reject call, channel unacceptable",
    "reject call, incompatible destination",
    "reject call, destination out of order",
};

// Unrestricted digital information with tones and announcements, circuit
// mode 64 kbit/s, layer 1 G.722.
constexpr uint8_t kWidebandLowLayerCompatibility[] = {0x91, 0x90, 0xA5};

QString Hex8(uint16_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

uint16_t TCapi20::PutRequest(const TCapiMessageWriter& writer, const QString& title, const QString& detail,
                             const QString& report)
{
    CapiTrace(title, writer.Message(), writer.MessageLength());
    const uint16_t info = PutCapiMessage(ApplID(), writer.Message());
    const QString& name = report.isEmpty() ? title : report;
    if (info != 0)
        AppTrace(name + QStringLiteral(" failed: 0x") + Hex8(info));
    else
        AppTrace(name + detail);
    return info;
}

uint16_t TCapi20::PutAddressResponse(uint8_t command, uint16_t messageNumber, uint32_t address,
                                     const QString& title)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), command, kResponse, messageNumber);
    writer.AddDword(address);
    return PutRequest(writer, title);
}

uint16_t TCapi20::PowerManagementRequest()
{
    if (!CapiLoaded() || !m_powerManagement)
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x80, kRequest, NextMessageNumber());
    writer.AddDword(m_controller);
    writer.AddWord(kPowerManagementSelector);
    const uint32_t parameter = writer.OpenStruct();
    writer.AddWord(uint16_t(m_msn.size()));
    const uint32_t cipMask = m_cipMask | (m_wideband ? kWidebandCip : 0);
    for (const QString& number : m_msn) {
        const uint32_t entry = writer.OpenStruct();
        writer.AddCalledPartyNumber(number);
        writer.AddDword(cipMask);
        writer.CloseStruct(entry);
    }
    writer.CloseStruct(parameter);
    return PutRequest(writer, QStringLiteral("Facility Request"), QString(),
                      QStringLiteral("Facility Request (Power management)"));
}

uint16_t TCapi20::ConnectResponse(uint32_t plci, uint16_t reject, uint16_t messageNumber,
                                  const QString& connectedNumber)
{
    if (!CapiLoaded())
        return 1;
    const bool clearAfterwards = reject > kAcceptAndClear;
    if (clearAfterwards)
        reject = 0;
    const bool wideband = m_wideband && m_calls.Call(plci)->WidebandCall;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x02, kResponse, messageNumber);
    writer.AddDword(plci);
    writer.AddWord(reject);
    writer.AddBProtocol(m_b1Protocol, m_b2Protocol, m_b3Protocol);
    writer.AddConnectedNumber(connectedNumber, m_presentation);
    writer.AddSubaddress(m_sendSubMsg);
    if (wideband) {
        const uint32_t llc = writer.OpenStruct();
        writer.AddBytes(kWidebandLowLayerCompatibility, sizeof kWidebandLowLayerCompatibility);
        writer.CloseStruct(llc);
    } else {
        writer.AddEmptyStruct();
    }
    writer.AddAdditionalInfo(QString(), m_sendUUMsg, nullptr, 0);
    const QString rejectText = reject < kRejectTexts.size() ? QLatin1String(kRejectTexts[reject]) : QString();
    const uint16_t info = PutRequest(writer, QStringLiteral("Connect Response"), QStringLiteral(": ") + rejectText);
    if (clearAfterwards)
        DisconnectRequest(plci);
    return info;
}

uint16_t TCapi20::ConnectActiveResponse(uint32_t plci, uint16_t messageNumber)
{
    return PutAddressResponse(0x03, messageNumber, plci, QStringLiteral("Connect Active Response"));
}

uint16_t TCapi20::ConnectB3Request(uint32_t plci)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x82, kRequest, NextMessageNumber());
    writer.AddDword(plci);
    writer.AddEmptyStruct(); // NCPI
    return PutRequest(writer, QStringLiteral("Connect B3 Request"));
}

uint16_t TCapi20::ConnectB3Response(uint32_t ncci, uint16_t reject, uint16_t messageNumber)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x82, kResponse, messageNumber);
    writer.AddDword(ncci);
    writer.AddWord(reject);
    writer.AddEmptyStruct(); // NCPI
    return PutRequest(writer, QStringLiteral("Connect B3 Response"),
                      reject == 0 ? QStringLiteral(": accept call")
                                  : QStringLiteral(": reject call, normal call clearing"));
}

uint16_t TCapi20::ConnectB3ActiveResponse(uint32_t ncci, uint16_t messageNumber)
{
    const uint16_t info = PutAddressResponse(0x83, messageNumber, ncci, QStringLiteral("Connect B3 Active Response"));
    // The data path takes and frees handles on the receive thread.
    m_calls.ClearSlots(ncci);
    return info;
}

uint16_t TCapi20::ConnectB3T90ActiveResponse(uint32_t ncci, uint16_t messageNumber)
{
    return PutAddressResponse(0x88, messageNumber, ncci, QStringLiteral("Connect B3 T90 Active Response"));
}

uint16_t TCapi20::DisconnectRequest(uint32_t plciOrNcci)
{
    if (!CapiLoaded() || ApplID() == 0)
        return 1;
    m_calls.Call(plciOrNcci)->Connected = false;
    if (plciOrNcci > 0xFFFF) // an NCCI: the B3 connection goes first
        return DisconnectB3Request(plciOrNcci);
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x04, kRequest, NextMessageNumber());
    writer.AddDword(plciOrNcci);
    writer.AddAdditionalInfo(QString(), m_sendUUMsg, nullptr, 0);
    return PutRequest(writer, QStringLiteral("Disconnect Request"));
}

uint16_t TCapi20::DisconnectResponse(uint32_t plci, uint16_t messageNumber)
{
    return PutAddressResponse(0x04, messageNumber, plci, QStringLiteral("Disconnect Response"));
}

uint16_t TCapi20::DisconnectB3Request(uint32_t ncci)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x84, kRequest, NextMessageNumber());
    writer.AddDword(ncci);
    writer.AddEmptyStruct(); // NCPI
    return PutRequest(writer, QStringLiteral("Disconnect B3 Request"));
}

uint16_t TCapi20::DisconnectB3Response(uint32_t ncci, uint16_t messageNumber)
{
    return PutAddressResponse(0x84, messageNumber, ncci, QStringLiteral("Disconnect B3 Response"));
}

uint16_t TCapi20::FacilityResponse(uint32_t address, uint16_t selector, uint16_t function, uint16_t messageNumber)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), 0x80, kResponse, messageNumber);
    writer.AddDword(address);
    writer.AddWord(selector);
    const uint32_t parameters = writer.OpenStruct();
    if (function != 0) {
        writer.AddWord(function);
        writer.AddEmptyStruct();
    }
    writer.CloseStruct(parameters);
    return PutRequest(writer, QStringLiteral("Facility Response"));
}

uint16_t TCapi20::InfoResponse(uint32_t address, uint16_t messageNumber)
{
    return PutAddressResponse(0x08, messageNumber, address, QStringLiteral("Info Response"));
}
