// TCapi20: the handlers of received call-control indications and
// confirmations, the readers of CONNECT_IND and CONNECT_ACTIVE_IND, the
// release of a call record and the 3-second timer. Everything here runs on
// the main thread, except ParseConnectActive, which the receive thread also
// runs (without events) before it queues a CONNECT_ACTIVE_IND.

#include "TFCapi20.h"

#include "CapiMessageReader.h"
#include "ElementDecoders.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kNotifyActive = 130;
constexpr uint16_t kNotifyConnectConfirm = 129;
constexpr uint16_t kWidebandInfo = 0xA100;
constexpr uint8_t kUserUserIa5 = 0x04;
constexpr uint16_t kCallWaitingChannel = 2; // neither B nor D channel

struct TCodeText {
    uint16_t Code;
    const char* Text;
};

// The text of a code, or fallback when the table has none.
QString TextOf(const TCodeText* begin, const TCodeText* end, uint16_t code, const QString& fallback = QString())
{
    const TCodeText* row = std::find_if(begin, end, [code](const TCodeText& r) { return r.Code == code; });
    return row != end ? QLatin1String(row->Text) : fallback;
}

template <size_t N>
QString TextOf(const std::array<TCodeText, N>& table, uint16_t code, const QString& fallback = QString())
{
    return TextOf(table.data(), table.data() + N, code, fallback);
}

QString Hex4(uint16_t value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

constexpr std::array<TCodeText, 11> kConnectConfirmFailures = {{
    {0x2002, "illegal controller"},
    {0x2003, "no PLCI available"},
    {0x2007, "illegal message parameter coding"},
    {0x3001, "B1 protocol not supported"},
    {0x3002, "B2 protocol not supported"},
    {0x3003, "B3 protocol not supported"},
    {0x3004, "B1 protocol parameter not supported"},
    {0x3005, "B2 protocol parameter not supported"},
    {0x3006, "B3 protocol parameter not supported"},
    {0x3007, "B protocol combination not supported"},
    {0x3009, "CIP Value unknown"},
}};

constexpr std::array<TCodeText, 5> kConnectB3ConfirmFailures = {{
    {0x0001, "NCPI not supported by current protocol, NCPI ignored"},
    {0x2001, "message not supported in current state"},
    {0x2002, "illegal PLCI"},
    {0x2004, "no NCCI available"},
    {0x3008, "NCPI not supported"},
}};

constexpr std::array<TCodeText, 4> kInfoConfirmTexts = {{
    {0x2001, ": message not supported in current state"},
    {0x2002, ": illegal Controller/PLCI"},
    {0x2003, ": no PLCI available"},
    {0x2007, ": illegal message parameter coding"},
}};

// Disconnect reasons of CAPI itself; every other reason names a cause.
constexpr std::array<TCodeText, 6> kDisconnectReasons = {{
    {0x0000, ""},
    {0x3301, "protocol error, layer 1"},
    {0x3302, "protocol error, layer 2"},
    {0x3303, "protocol error, layer 3"},
    {0x3304, "another application got that call"},
    {0x3305, "cleared by Call Control Supervision"},
}};

// First word of the B channel information.
constexpr std::array<TCodeText, 4> kBChannels = {{
    {0, "B channel"},
    {1, "D channel"},
    {2, "neither B or D channel"},
    {3, "channel allocation (leased line)"},
}};

// How a FACILITY_IND's parameter text is reported, by facility selector.
enum class TParameterText : uint8_t { None, OwnLine, Appended };
struct TFacilityIndicationRow {
    uint16_t Selector;
    const char* Line;
    TParameterText Text;
    TCapiInfoStringEvent TCapi20::*Event;
};
constexpr std::array<TFacilityIndicationRow, 7> kFacilityIndications = {{
    {0, "Facility Indication (Handset)", TParameterText::OwnLine, &TCapi20::OnHandset},
    {1, "Facility Indication (DTMF): ", TParameterText::Appended, &TCapi20::OnDigit},
    {2, "Facility Indication (V.42 bis)", TParameterText::None, nullptr},
    {3, "Facility Indication (Supplementary Services)", TParameterText::None, nullptr},
    {4, "Facility Indication (External Device)", TParameterText::None, nullptr},
    {5, "Facility Indication (LineInterconnect)", TParameterText::None, nullptr},
    {8, "Facility Indication (EchoCancelling)", TParameterText::None, nullptr},
}};

constexpr std::array<TCodeText, 7> kFacilityConfirms = {{
    {0, "Facility Confirm (Handset)"},
    {1, "Facility Confirm (DTMF)"},
    {2, "Facility Confirm (V.42bis)"},
    {3, "Facility Confirm (Supplementary Services)"},
    {4, "Facility Confirm (Power management/External Device)"},
    {5, "Facility Confirm (Line Interconnect)"},
    {8, "Facility Confirm (EchoCancelling)"},
}};
constexpr uint16_t kSupplementaryServices = 3;
constexpr uint16_t kPowerManagement = 4;
constexpr std::array<TCodeText, 3> kPowerManagementResults = {{
    {0, ": operation succeded"},
    {1, ": resource conflict"},
    {2, ": operation not supported"},
}};

// Prefixes an MSN entry may carry before the number the network sends, in
// the order they are taken off.
constexpr std::array<const char*, 3> kMsnPrefixes = {"sip:", "tel:", "sips:"};

// Index of the MSN entry that names number, with its prefixes taken off; -1 for none.
qsizetype MatchingMsn(const QStringList& msn, const QString& number)
{
    for (qsizetype i = 0; i < msn.size(); ++i) {
        QString entry = msn[i];
        for (const char* prefix : kMsnPrefixes)
            if (entry.startsWith(QLatin1String(prefix)))
                entry.remove(0, qsizetype(qstrlen(prefix)));
        if (entry == number)
            return i;
    }
    return -1;
}

// A struct parameter: its contents, clipped to the message, and the reader
// placed behind it.
struct TStruct {
    const uint8_t* Data = nullptr;
    uint32_t Count = 0;
};
TStruct ReadStruct(TCapiMessageReader& reader)
{
    const uint32_t position = reader.Position();
    TStruct result;
    const uint8_t length = reader.ReadByte();
    result.Data = reader.CurrentData();
    result.Count = result.Data == nullptr ? 0 : std::min<uint32_t>(length, reader.Remaining());
    reader.SkipStructAt(position);
    return result;
}

void SkipStruct(TCapiMessageReader& reader)
{
    reader.SkipStructAt(reader.Position());
}

uint16_t LengthOf(const uint8_t* message)
{
    return uint16_t(message[0] | (message[1] << 8));
}

} // namespace

// --- CONNECT ------------------------------------------------------------

uint32_t TCapi20::ParseConnectIndication(const uint8_t* message)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    m_isCallWaiting = false;
    const uint32_t plci = reader.ReadDword();
    m_calls.Call(plci)->IncomingCall = true;
    m_callingCIP = reader.ReadWord();
    AppTrace(QStringLiteral("Connect Indication"));
    AppTrace(QStringLiteral(" CIP: %1 (%2)").arg(m_callingCIP).arg(CipName(m_callingCIP)));

    const TStruct called = ReadStruct(reader);
    m_calledPartyNumber = DecodeCalledPartyNumber(nullptr, kTopLevel, called.Data, called.Count);
    AppTrace(QStringLiteral(" CalledPartyNumber: ") + m_calledPartyNumber);
    const TStruct calling = ReadStruct(reader);
    m_callingPartyNumber = DecodeCallingPartyNumber(nullptr, kTopLevel, calling.Data, calling.Count);
    AppTrace(QStringLiteral(" CallingPartyNumber: ") + m_callingPartyNumber);
    const TStruct calledSub = ReadStruct(reader);
    m_calledSubPartyNumber = DecodeSubaddress(nullptr, kTopLevel, calledSub.Data, calledSub.Count);
    if (!m_calledSubPartyNumber.isEmpty())
        AppTrace(QStringLiteral(" CalledPartySubaddress: ") + m_calledSubPartyNumber);
    const TStruct callingSub = ReadStruct(reader);
    m_callingSubPartyNumber = DecodeSubaddress(nullptr, kTopLevel, callingSub.Data, callingSub.Count);
    if (!m_callingSubPartyNumber.isEmpty())
        AppTrace(QStringLiteral(" CallingPartySubaddress: ") + m_callingSubPartyNumber);
    SkipStruct(reader); // bearer capability
    const TStruct llc = ReadStruct(reader);
    bool wideband = false;
    DecodeLowLayerCompatibility(nullptr, kTopLevel, llc.Data, llc.Count, wideband);
    m_calls.Call(plci)->WidebandCall = m_wideband && wideband;
    SkipStruct(reader); // high layer compatibility

    m_callingPartyUseruser.clear();
    const uint32_t additionalInfo = reader.Position();
    const uint8_t additionalInfoLength = reader.ReadByte();
    if (additionalInfoLength != 0) {
        AppTrace(QStringLiteral(" Additional info length: %1").arg(additionalInfoLength));
        const TStruct bChannel = ReadStruct(reader);
        if (bChannel.Count != 0) {
            const uint16_t channel = bChannel.Count >= 2 ? uint16_t(bChannel.Data[0] | (bChannel.Data[1] << 8))
                                                         : bChannel.Data[0];
            m_isCallWaiting = channel == kCallWaitingChannel;
            AppTrace(QStringLiteral("  B channel information: ")
                     + TextOf(kBChannels, channel, QLatin1String(kBChannels[0].Text)));
        }
        SkipStruct(reader); // keypad facility
        const uint32_t userUser = reader.Position();
        const uint8_t userUserLength = reader.ReadByte();
        if (userUserLength != 0 && reader.ReadByte() == kUserUserIa5)
            m_callingPartyUseruser = reader.ReadText(uint8_t(userUserLength - 1));
        reader.SkipStructAt(userUser);
    }
    reader.SkipStructAt(additionalInfo); // facility data array, sending complete and the rest: not used
    return plci;
}

void TCapi20::ConnectIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect Indication"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = ParseConnectIndication(message);
    const qsizetype match = MatchingMsn(m_msn, m_calledPartyNumber);
    if (match >= 0)
        m_calledPartyNumber = m_msn[match];
    // Calls to other numbers of the line are left to the terminals that own
    // them; SIP addresses and tel: URIs are not numbers to filter on.
    if (match < 0 && !m_calledPartyNumber.isEmpty() && !m_msn.isEmpty()
        && !m_calledPartyNumber.contains(u'@') && !m_calledPartyNumber.startsWith(QLatin1String("tel:"))) {
        ConnectResponse(plci, 1, reader.MessageNumber(), QString());
        return;
    }
    if (OnConnect)
        OnConnect(plci, reader.MessageNumber());
}

void TCapi20::ConnectConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect Confirm"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = reader.ReadDword();
    const uint16_t info = reader.ReadWord();
    if (info == 0) {
        AppTrace(QStringLiteral("Connect Confirm"));
        m_calls.Call(plci)->IncomingCall = false;
        if (OnConnect)
            OnConnect(plci, kNotifyConnectConfirm);
        return;
    }
    const QString failure = TextOf(kConnectConfirmFailures, info, QStringLiteral("0x") + Hex4(info));
    AppTrace(QStringLiteral("Connect Confirm failed: ") + failure);
    if (OnDisconnect)
        OnDisconnect(0, failure);
}

uint32_t TCapi20::ParseConnectActive(const uint8_t* message, bool withEvents)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = reader.ReadDword();
    QString connectedNumber;
    QString connectedSubaddress;
    const TStruct number = ReadStruct(reader);
    if (number.Count != 0) {
        connectedNumber = DecodeConnectedNumber(nullptr, kTopLevel, number.Data, number.Count);
        AppTrace(QStringLiteral(" ConnectedPartyNumber: ") + connectedNumber);
    }
    const TStruct subaddress = ReadStruct(reader);
    if (subaddress.Count != 0) {
        connectedSubaddress = DecodeSubaddress(nullptr, kTopLevel, subaddress.Data, subaddress.Count);
        if (!connectedSubaddress.isEmpty())
            AppTrace(QStringLiteral(" ConnectedSubaddress: ") + connectedSubaddress);
    }
    const TStruct llc = ReadStruct(reader);
    bool wideband = false;
    DecodeLowLayerCompatibility(nullptr, kTopLevel, llc.Data, llc.Count, wideband);
    bool widebandCall = false;
    {
        // The only fields the receive thread changes, under the lock.
        TCallTable::TLockedCall call = m_calls.Call(plci);
        if (!call->IncomingCall) // a call this side placed: the connected side decides
            call->WidebandCall = m_wideband && wideband;
        call->Connected = true;
        widebandCall = call->WidebandCall;
    }
    // Only the run with events is the main thread's: the published texts are
    // written there alone.
    if (withEvents) {
        m_calledPartyNumber = connectedNumber;
        m_calledSubPartyNumber = connectedSubaddress;
        if (widebandCall && OnInfo)
            OnInfo(plci, kWidebandInfo, QStringLiteral("G.722"));
    }
    return plci;
}

void TCapi20::ConnectActiveIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect Active Indication"), message, LengthOf(message));
    AppTrace(QStringLiteral("Connect Active Indication"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = ParseConnectActive(message, true);
    ConnectActiveResponse(plci, reader.MessageNumber());
    if (OnConnectActive)
        OnConnectActive(plci, kNotifyActive);
}

void TCapi20::AlertConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Alert Confirm"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    reader.ReadDword(); // PLCI
    const uint16_t info = reader.ReadWord();
    AppTrace(QStringLiteral("Alert Confirm")
             + (info == 3 ? QStringLiteral(": Alert already sent by another application")
                          : QStringLiteral(": 0x") + Hex4(info)));
}

// --- B3 connections -------------------------------------------------------

void TCapi20::ConnectB3Indication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect B3 Indication"), message, LengthOf(message));
    AppTrace(QStringLiteral("Connect B3 Indication"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    ConnectB3Response(ncci, 0, reader.MessageNumber());
}

void TCapi20::ConnectB3Confirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect B3 Confirm"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    const uint16_t info = reader.ReadWord();
    if (info == 0) {
        AppTrace(QStringLiteral("Connect B3 Confirm"));
        return;
    }
    const QString text = QStringLiteral("Connect B3 Confirm failed: ") + TextOf(kConnectB3ConfirmFailures, info);
    AppTrace(text);
    if (OnInfo)
        OnInfo(ncci, info, text);
}

void TCapi20::ConnectB3ActiveIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect B3 Active Indication"), message, LengthOf(message));
    AppTrace(QStringLiteral("Connect B3 Active Indication"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    {
        // The data path may already send on the receive thread.
        TCallTable::TLockedCall call = m_calls.Call(ncci);
        call->B3Active = true;
        if (call->SendFifo)
            call->SendFifo->Clear();
    }
    ConnectB3ActiveResponse(ncci, reader.MessageNumber()); // frees the data handles too
    if (OnB3Active)
        OnB3Active(ncci, kNotifyActive);
}

void TCapi20::ConnectB3T90ActiveIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Connect B3 T90 Active Indication"), message, LengthOf(message));
    AppTrace(QStringLiteral("Connect B3 T90 Active Indication"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    if (OnB3T90Active)
        OnB3T90Active(ncci, kNotifyActive);
    ConnectB3T90ActiveResponse(ncci, reader.MessageNumber());
}

void TCapi20::DisconnectB3Indication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Disconnect B3 Indication"), message, LengthOf(message));
    AppTrace(QStringLiteral("Disconnect B3 Indication"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t ncci = reader.ReadDword();
    uint32_t transfer = 0;
    {
        TCallTable::TLockedCall call = m_calls.Call(ncci);
        call->B3Active = false;
        if (call->SendFifo)
            call->SendFifo->Clear();
        call->SlotInUse = {};
        transfer = call->PendingTransfer;
        call->PendingTransfer = 0;
    }
    DisconnectB3Response(ncci, reader.MessageNumber());
    if (transfer != 0)
        EctRequest(ncci & 0xFFFF, transfer); // the transfer that waited for the B3 clearing
    else if (OnDisconnectB3)
        OnDisconnectB3(ncci, kNotifyActive);
}

// --- DISCONNECT -------------------------------------------------------------

void TCapi20::DisconnectIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Disconnect Indication"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = reader.ReadDword();
    const uint16_t reason = reader.ReadWord();
    QString text;
    const auto own = std::find_if(kDisconnectReasons.begin(), kDisconnectReasons.end(),
                                  [reason](const TCodeText& row) { return row.Code == reason; });
    if (own != kDisconnectReasons.end()) {
        text = QLatin1String(own->Text);
    } else {
        // Any other reason carries a cause in its low byte: the text of a
        // cause element of the octets 00 and that byte.
        const uint8_t cause[2] = {0x00, uint8_t(reason)};
        uint16_t element = 0x08;
        text = InfoElementText(element, cause, sizeof cause);
    }
    AppTrace(QStringLiteral("Disconnect Indication: ") + text);
    if (OnDisconnect)
        OnDisconnect(plci, text);
    DisconnectResponse(plci, reader.MessageNumber());
    ReleaseCallRecord(plci);
}

void TCapi20::ReleaseCallRecord(uint32_t plci)
{
    m_calls.Release(plci);
}

// --- INFO and SELECT_B_PROTOCOL -------------------------------------------------

void TCapi20::InfoIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Info Indication"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t address = DecodeInfoIndication(reader);
    InfoResponse(address, reader.MessageNumber());
}

void TCapi20::InfoConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Info Confirm"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    reader.ReadDword(); // address
    const uint16_t info = reader.ReadWord();
    AppTrace(QStringLiteral("Info Confirm") + TextOf(kInfoConfirmTexts, info));
}

void TCapi20::SelectBProtocolConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Select B Protocol Confirm"), message, LengthOf(message));
    AppTrace(QStringLiteral("Select B Protocol Confirm"));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t plci = reader.ReadDword();
    if (reader.ReadWord() == 0)
        ConnectB3Request(plci);
}

// --- FACILITY -------------------------------------------------------------------

void TCapi20::FacilityIndication(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Facility Indication"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t address = reader.ReadDword();
    const uint16_t selector = reader.ReadWord();
    const uint8_t length = reader.ReadByte();
    // The parameter as text: its bytes up to the first zero byte.
    const uint8_t* bytes = reader.CurrentData();
    const uint32_t available = bytes == nullptr ? 0 : std::min<uint32_t>(length, reader.Remaining());
    const uint32_t textLength = uint32_t(std::find(bytes, bytes + available, uint8_t(0)) - bytes);
    const QString text = FromCodePage(bytes, textLength);

    const auto row = std::find_if(kFacilityIndications.begin(), kFacilityIndications.end(),
                                  [selector](const TFacilityIndicationRow& r) { return r.Selector == selector; });
    if (row == kFacilityIndications.end()) {
        AppTrace(QStringLiteral("Facility Indication: %1").arg(selector));
    } else {
        const QString line = QLatin1String(row->Line);
        AppTrace(row->Text == TParameterText::Appended ? line + text : line);
        if (row->Text == TParameterText::OwnLine)
            AppTrace(text);
        if (row->Event != nullptr && this->*row->Event)
            (this->*row->Event)(address, text);
    }
    if (selector == kSupplementaryServices && length != 0) {
        DecodeSupplementaryIndication(address, reader); // answers by itself
        return;
    }
    FacilityResponse(address, selector, 0, reader.MessageNumber());
}

void TCapi20::FacilityConfirmation(const uint8_t* message)
{
    CapiTrace(QStringLiteral("Facility Confirm"), message, LengthOf(message));
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t address = reader.ReadDword();
    const uint16_t info = reader.ReadWord();
    const uint16_t selector = reader.ReadWord();
    const QString failed = QStringLiteral(": failed 0x") + Hex4(info);
    QString line = TextOf(kFacilityConfirms, selector);
    if (line.isEmpty())
        line = QStringLiteral("Facility Confirm (unknown)");
    else if (selector == kPowerManagement)
        line += TextOf(kPowerManagementResults, info, failed);
    else if (info != 0)
        line += failed;
    AppTrace(line);
    if (selector == kSupplementaryServices && reader.ReadByte() != 0)
        DecodeSupplementaryConfirmation(address, reader);
}

// --- The 3-second timer --------------------------------------------------------

// One step per tick, the first that applies: a forwarding queue whose oldest
// request waited too long is dropped whole, else an interrogation that got
// no answer ends with an empty list.
void TCapi20::TimerTick()
{
    const uint32_t now = TickCount();
    if (!DropStaleSupplementaryQueue(now))
        EndStaleInterrogation(now);
}
