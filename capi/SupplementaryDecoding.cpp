// TCapi20: received supplementary-service facility messages and INFO
// indications become diagnostic lines, events and follow-up requests.

#include "TFCapi20.h"

#include "CapiMessageReader.h"
#include "ElementDecoders.h"
#include "FrameDecoder.h"
#include "RawReaders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr uint16_t kSupplementaryServices = 3;
constexpr uint8_t kInvoke = 0xA1;
constexpr uint8_t kReturnResult = 0xA2;
constexpr uint16_t kWidebandInfo = 0xA100;
constexpr uint16_t kFacilityElement = 0x1C;
constexpr uint16_t kDisconnectMessage = 0x8045;
const QString kSeparator = QStringLiteral("|");

QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// A number interrogation goes to the controller of the message's address.
uint32_t ControllerOf(uint32_t address)
{
    return address & 0x7F;
}

// The next count octets of a message, no further than its end.
uint32_t Available(const TCapiMessageReader& reader, uint32_t count)
{
    return std::min(count, reader.Remaining());
}

QString FacilityPartyNumberAt(const TCapiMessageReader& reader, uint8_t count)
{
    return DecodeFacilityPartyNumber(reader.CurrentData(), Available(reader, count));
}

// One forwarding entry: procedure/basic service:served->forwarded-to.
QString ForwardingEntry(uint32_t procedure, uint32_t basicService, const QString& served, const QString& forwardedTo)
{
    return Hex(procedure, 2) + QLatin1Char('/') + Hex(basicService, 2) + QLatin1Char(':') + served
           + QStringLiteral("->") + forwardedTo;
}

// --- Info element texts ---------------------------------------------------

struct TElementName {
    uint16_t Number;
    const char* Text;
};
constexpr TElementName kElementNames[] = {
    {0x04, "bearer capability"},
    {0x0C, "called party number"},
    {0x0D, "extended facility"},
    {0x10, "call identity"},
    {0x14, "call state"},
    {0x1C, "facility data"},
    {0x20, "network-specific facilities"},
    {0x27, "notification indicator"},
    {0x2C, "keypad facility"},
    {0x32, "information request"},
    {0x34, "signal"},
    {0x38, "feature activation"},
    {0x39, "feature indication"},
    {0x3A, "service profile identification"},
    {0x3B, "endpoint identifier"},
    {0x40, "information rate"},
    {0x42, "end-to-end transit delay"},
    {0x43, "transit delay selection and indication"},
    {0x44, "packet layer binary parameters"},
    {0x45, "packet layer window size"},
    {0x46, "packet size"},
    {0x47, "closed user group"},
    {0x4A, "reverse charge indication"},
    {0x78, "transit network selection"},
    {0x79, "restart indicator"},
    {0x7C, "low layer compatibility"},
    {0x7D, "high layer compatibility"},
    {0x7F, "escape for extension"},
};

using TElementDecoder = QString (*)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t);
struct TDecodedElement {
    uint16_t Number;
    const char* Label; // in front of the decoder's text in the info line
    TElementDecoder Decoder;
};
constexpr std::array<TDecodedElement, 9> kDecodedElements = {{
    {0x18, "", DecodeChannelIdentification},
    {0x28, "", DecodeDisplay},
    {0x6C, "", DecodeCallingPartyNumber},
    {0x6D, "calling party subaddress: ", DecodeSubaddress},
    {0x70, "", DecodeCalledPartyNumber},
    {0x71, "called party subaddress: ", DecodeSubaddress},
    {0x74, "redirecting number: ", DecodeRedirectingNumber},
    {0x76, "redirection number: ", DecodeRedirectingNumber},
    {0x7E, "user-user: ", [](TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count) {
         return DecodeUserUser(tree, parent, contents, count);
     }},
}};

const TDecodedElement* DecodedElement(uint16_t number)
{
    for (const TDecodedElement& element : kDecodedElements)
        if (element.Number == number)
            return &element;
    return nullptr;
}

constexpr std::array<const char*, 9> kProgressTexts = {
    nullptr,
    "call is not end-to-end ISDN",
    "destination is non ISDN",
    "origination is non ISDN",
    "call has returned to the ISDN",
    "interworking has occurred and has resulted in a telecommunication service change",
    nullptr,
    nullptr,
    "in-band information or an appropriate pattern is now available",
};

// Octets least significant first, as an unsigned number.
uint32_t LittleEndian(const uint8_t* octets, uint32_t count)
{
    uint32_t value = 0;
    for (uint32_t i = std::min(count, 4u); i > 0; --i)
        value = value << 8 | octets[i - 1];
    return value;
}

// --- Supplementary-service functions --------------------------------------

struct TFunctionName {
    uint16_t Function;
    const char* Name;
};

QString FunctionName(const TFunctionName* begin, const TFunctionName* end, uint16_t function)
{
    const auto row = std::find_if(begin, end, [&](const TFunctionName& r) { return r.Function == function; });
    return row == end ? QString() : QLatin1String(row->Name);
}

constexpr TFunctionName kConfirmationNames[] = {
    {0, " Get Supported Services"}, {1, " Listen"}, {2, " Hold"}, {3, " Retrieve"}, {4, " Suspend"},
    {5, " Resume"}, {6, " ECT"}, {7, " 3PTY Begin"}, {8, " 3PTY End"}, {9, " CF Activate"},
    {10, " CF Deactivate"}, {11, " CF Interrogate Parameters"}, {12, " CF Interrogate Numbers"}, {13, " CD"},
    {14, " MCID request"}, {15, " CCBS request"}, {16, " CCBS deactivate"}, {17, " CCBS interrogate"},
    {18, " CCBS call"}, {19, " MWI Activate"}, {20, " MWI Deactivate"}, {21, " CCNR request"},
    {22, " CCNR interrogate"}, {23, " CONF Begin"}, {24, " CONF add"}, {25, " CONF split"},
    {26, " CONF drop"}, {27, " CONF isolate"}, {28, " CONF reattach"},
};

struct TResultText {
    uint16_t Info;
    const char* Text;
};
constexpr TResultText kConfirmationResults[] = {
    {0x0000, ": success"},
    {0x300E, ": supplementary service not supported"},
    {0x3010, ": request not allowed in this state"},
    {0x3305, ": rejected by Supplementary Services Supervision"},
};

// Operations of Facility elements in INFO indications whose only effect is
// their name in the line.
struct TOperationName {
    uint8_t Operation;
    const char* Name;
};
constexpr TOperationName kInfoOperationNames[] = {
    {12, "DiversionInformation"}, {13, "CallDeflection"}, {14, "CallRerouting"},
    {15, "DivertingLegInformation2"}, {16, "InvokeStatus"}, {18, "DivertingLegInformation1"},
    {19, "DivertingLegInformation3"}, {32, "AOCSSpecialArr"}, {33, "AOCDCurrency"},
    {34, "AOCDChargingUnit"}, {35, "AOCECurrency"}, {36, "AOCEChargingUnit"},
    {37, "IdentificationOfCharge"},
};

constexpr std::array<const char*, 12> kCcbsOperations = {
    nullptr, " (CallInfoRetain)", " (Request)", " (Deactivate)", " (Interrogate)", " (Erase)",
    " (RemoteUserFree)", " (Call)", " (StatusRequest)", " (BFree)", " (EraseCallLinkageId)", " (StopAltering)",
};

} // namespace

// --- InfoElementText ---------------------------------------------------------

QString TCapi20::InfoElementText(uint16_t& infoNumber, const uint8_t* contents, uint32_t length)
{
    // Short elements read as zeros where they would continue.
    std::array<uint8_t, 256> octets{};
    length = std::min<uint32_t>(length, octets.size());
    if (contents && length)
        std::memcpy(octets.data(), contents, length);
    const uint16_t n = infoNumber;
    for (const TElementName& element : kElementNames)
        if (element.Number == n)
            return QLatin1String(element.Text);
    if (const TDecodedElement* element = DecodedElement(n))
        return QLatin1String(element->Label) + element->Decoder(nullptr, kTopLevel, octets.data(), length);
    switch (n) {
    case 0x08:
        return CauseText(octets[1]);
    case 0x1E: {
        const uint8_t d = octets[1] & 0x7F;
        infoNumber = uint16_t(0x1E00 + d);
        if (d < kProgressTexts.size() && kProgressTexts[d])
            return QLatin1String(kProgressTexts[d]);
        return QStringLiteral("unknown process indication (%1)").arg(d);
    }
    case 0x29:
        return QString::asprintf("%.2d.%.2d.%.2d %.2d:%.2d", octets[2], octets[1], octets[0], octets[3], octets[4]);
    default:
        break;
    }
    if (n < 0x4000)
        return QStringLiteral("Info: %1").arg(n);
    if ((n & 0x4001) == 0x4000) { // charge in units
        infoNumber = 0x4000;
        return QString::number(LittleEndian(octets.data(), length));
    }
    if ((n & 0x4001) == 0x4001) { // charge in currency
        infoNumber = 0x4000;
        return QString::number(LittleEndian(octets.data(), 4));
    }
    return MessageTypeName(uint8_t(n & 0x7F));
}

// --- FACILITY_IND, selector 3 ----------------------------------------------

void TCapi20::DecodeSupplementaryIndication(uint32_t address, TCapiMessageReader reader)
{
    const uint16_t function = reader.ReadWord();
    const uint8_t p = reader.ReadByte();
    const uint16_t messageNumber = reader.MessageNumber();
    const auto respond = [&] { FacilityResponse(address, kSupplementaryServices, function, messageNumber); };
    const auto status = [&](uint32_t plci, TCallStatus value) {
        if (OnStatus)
            OnStatus(plci, value);
    };
    const auto completeOffer = [&](uint16_t type, const QString& text) {
        if (OnCompleteOffer)
            OnCompleteOffer(address, type, text);
    };
    // A held call leaves wideband audio; the host hears of it once.
    const auto leaveWideband = [&] {
        bool wasWideband = false;
        {
            auto call = Calls().Call(address);
            wasWideband = call->WidebandCall;
            call->WidebandCall = false;
        }
        if (wasWideband && OnInfo)
            OnInfo(address, kWidebandInfo, QString());
    };
    // After a diversion result: the last answered request starts a number
    // interrogation, unless parameter interrogations are still queued.
    const auto interrogateAfter = [&](bool lastAnswered) {
        if (lastAnswered && AbsentOrEmpty(m_supplementary.InterrogationQueue))
            InterrogateNumbersRequest(ControllerOf(address));
    };
    const auto interrogateOnNotification = [&](const TQueryQueue& queue) {
        if (!m_supplementary.InterrogationPending && AbsentOrEmpty(queue)
            && AbsentOrEmpty(m_supplementary.InterrogationQueue))
            InterrogateNumbersRequest(ControllerOf(address));
    };

    static constexpr TFunctionName kResults[] = {
        {2, " Hold"}, {3, " Retrieve"}, {4, " Suspend"}, {5, " Resume"}, {6, " ECT (Explicit Call Transfer)"},
        {7, " 3PTY Begin (Three Party Conference)"}, {8, " 3PTY End"}, {9, " CF Activate"},
        {10, " CF Deactivate"}, {11, " CF Interrogate Parameters"}, {12, " CF Interrogate Numbers"},
        {13, " CD (Call Deflection)"}, {14, " MCID (Malicious Call Identification)"},
        {15, " CCBS request (Completion of Calls to Busy Sub.)"}, {16, " CCBS deactivate"},
        {17, " CCBS interrogate"}, {18, " CCBS call"},
    };
    static constexpr TFunctionName kNotifications[] = {
        {0x8000, " Hold Notification"}, {0x8001, " Retrieve Notification"},
        {0x8002, " Suspend Notification"}, {0x8003, " Resume Notification"},
        {0x8004, " Call is Diverting Notification"}, {0x8005, " Diversion Activated Notification"},
        {0x8006, " CF Activate Notification"}, {0x8007, " CF Deactivate Notification"},
        {0x8008, " Diversion Information"}, {0x8009, " Call Transfer Alerted Notification"},
        {0x800A, " Call Transfer Active Notification"}, {0x800B, " Conference Established Notification"},
        {0x800C, " Conference Disconnect Notification"}, {0x800D, " CCBS erase call linkage ID"},
        {0x800E, " CCBS status"}, {0x800F, " CCBS remote user free"}, {0x8010, " CCBS B-free"},
        {0x8011, " CCBS erase"}, {0x8012, " CCBS stop alerting"}, {0x8013, " CCBS info retain"},
        {0x8014, " MWI"}, {0x8015, " CCNR info retain"},
    };

    uint16_t reason = 0;
    if (function >= 2 && function <= 18) {
        QString line = FunctionName(std::begin(kResults), std::end(kResults), function);
        reason = reader.ReadWord();
        if (function >= 9 && function <= 12)
            reader.ReadDword(); // handle
        if (reason != 0)
            line += QStringLiteral(" failed (") + Hex(reason, 4) + QLatin1Char(')');
        AppTrace(line);
    } else if (function >= 0x8000 && function <= 0x8015) {
        AppTrace(FunctionName(std::begin(kNotifications), std::end(kNotifications), function));
    } else {
        AppTrace(QLatin1Char(' ') + Hex(function, 4));
    }

    switch (function) {
    case 2: // Hold
        if (reason == 0) {
            leaveWideband();
            status(address, TCallStatus::HoldConfirm);
        } else {
            status(address, TCallStatus::HoldReject);
        }
        break;
    case 3: // Retrieve
        if (reason == 0) {
            status(address, TCallStatus::RetrieveConfirm);
            ConnectB3Request(address);
        } else {
            status(address, TCallStatus::HoldConfirm);
        }
        break;
    case 5: // Resume
        if (reason == 0)
            SelectBProtocolRequest(address & 0xFFFF);
        break;
    case 6: // ECT: a refused transfer of a call gets its B3 connection back
        respond();
        if (reason != 0 && address <= 0xFFFF)
            ConnectB3Request(address);
        return;
    case 7: // 3PTY Begin
        if (reason == 0) {
            status(0, TCallStatus::BeginConference);
            status(address, TCallStatus::BeginConference);
        } else {
            status(0, TCallStatus::HoldNotify);
            status(address, TCallStatus::RetrieveNotify);
        }
        break;
    case 8: // 3PTY End
        status(0, TCallStatus::HoldNotify);
        status(address, TCallStatus::RetrieveNotify);
        break;
    case 9: // CF Activate
        respond();
        interrogateAfter(NextForward(false));
        return;
    case 10: // CF Deactivate
        respond();
        interrogateAfter(NextUnForward(false));
        return;
    case 11: { // CF Interrogate Parameters: the instance list
        QString list;
        for (uint32_t remaining = reader.ReadByte(); remaining > 0;) {
            const uint8_t k = reader.ReadByte();
            if (k >= remaining || k == 0)
                break;
            const uint16_t procedure = reader.ReadWord();
            const uint16_t basicService = reader.ReadWord();
            const uint8_t servedLength = reader.ReadByte();
            const QString served = FacilityPartyNumberAt(reader, servedLength);
            reader.Skip(servedLength);
            const uint8_t forwardedLength = reader.ReadByte();
            const QString forwardedTo = FacilityPartyNumberAt(reader, forwardedLength);
            reader.Skip(forwardedLength);
            reader.Skip(reader.ReadByte()); // forwarded-to subaddress
            const QString entry = ForwardingEntry(procedure, basicService, served, forwardedTo);
            AppTrace(QLatin1Char(' ') + entry);
            list += entry + kSeparator;
            remaining -= k + 1u;
        }
        respond();
        if (OnGetForwardedNumbersEx)
            OnGetForwardedNumbersEx(address, list);
        NextInterrogateParams(false);
        return;
    }
    case 12: { // CF Interrogate Numbers: the served user numbers
        QString list;
        for (uint32_t remaining = reader.ReadByte(); remaining > 0;) {
            const uint8_t k = reader.ReadByte();
            if (k >= remaining || k == 0)
                break;
            list += FacilityPartyNumberAt(reader, k) + kSeparator;
            reader.Skip(k);
            remaining -= k + 1u;
        }
        AppTrace(QLatin1Char(' ') + list);
        m_supplementary.ClearInterrogationPending();
        respond();
        if (OnGetForwardedNumbers)
            OnGetForwardedNumbers(address, list);
        return;
    }
    case 0x8000: // Hold Notification
        leaveWideband();
        status(address, TCallStatus::HoldNotify);
        break;
    case 0x8001: status(address, TCallStatus::RetrieveNotify); break;
    case 0x8002: status(address, TCallStatus::SuspendNotify); break;
    case 0x8003: status(address, TCallStatus::ResumeNotify); break;
    case 0x8004: status(address, TCallStatus::DivertingNotify); break;
    case 0x8006: interrogateOnNotification(m_supplementary.ForwardQueue); break;
    case 0x8007: interrogateOnNotification(m_supplementary.UnForwardQueue); break;
    case 0x8009: { // Call Transfer Alerted: the number the call now goes to
        const uint8_t k = reader.ReadByte();
        if (OnStatus) {
            if (k > 0) {
                m_calledPartyNumber = DecodeCallingPartyNumber(nullptr, kTopLevel, reader.CurrentData(),
                                                               Available(reader, k));
                AppTrace(QStringLiteral("-> ") + m_calledPartyNumber);
            }
            status(address, TCallStatus::TransferAlertedNotify);
        }
        break;
    }
    case 0x800A: // Call Transfer Active: the parameter struct is the number
        if (OnStatus) {
            if (p > 0) {
                m_calledPartyNumber = DecodeCallingPartyNumber(nullptr, kTopLevel, reader.CurrentData(),
                                                               Available(reader, p));
                AppTrace(QStringLiteral("-> ") + m_calledPartyNumber);
            }
            status(address, TCallStatus::TransferActiveNotify);
        }
        break;
    case 0x800B: status(address, TCallStatus::BeginConference); break;
    case 0x800C: status(address, TCallStatus::RetrieveNotify); break;
    case 0x800D: completeOffer(128, QString()); break;
    case 0x8010: // CCBS B-free
        if (p > 0) {
            reader.ReadWord();
            const uint16_t reference = reader.ReadWord();
            reader.ReadWord();
            for (int i = 0; i < 5; ++i)
                reader.Skip(reader.ReadByte());
            const uint8_t k = reader.ReadByte();
            if (k > 0) {
                const QString number = FacilityPartyNumberAt(reader, k);
                AppTrace(QStringLiteral(" -> ") + number);
                CcbsDeactivateRequest(address, reference);
                completeOffer(129, number);
            }
        }
        break;
    case 0x8013: completeOffer(reader.ReadWord(), QStringLiteral("CCBS")); break;
    case 0x8014: // MWI
        if (p > 0) {
            reader.ReadWord();
            const uint32_t count = reader.ReadDword();
            reader.ReadWord();
            reader.ReadWord();
            QString controlling;
            if (const uint8_t k = reader.ReadByte(); k > 0) {
                controlling = FacilityPartyNumberAt(reader, k);
                reader.Skip(k);
            }
            reader.Skip(reader.ReadByte());
            reader.Skip(reader.ReadByte());
            QString called;
            if (const uint8_t k = reader.ReadByte(); k > 0)
                called = DecodeCalledPartyNumber(nullptr, kTopLevel, reader.CurrentData(), Available(reader, k));
            if (OnMWI)
                OnMWI(count, controlling, called);
        }
        break;
    case 0x8015: completeOffer(reader.ReadWord(), QStringLiteral("CCNR")); break;
    default:
        break;
    }
    respond();
}

// --- FACILITY_CONF, selector 3 ---------------------------------------------

void TCapi20::DecodeSupplementaryConfirmation(uint32_t address, TCapiMessageReader reader)
{
    const uint16_t function = reader.ReadWord();
    const uint8_t p = reader.ReadByte();
    const uint16_t info = p > 0 ? reader.ReadWord() : 0;
    QString line = FunctionName(std::begin(kConfirmationNames), std::end(kConfirmationNames), function);
    if (line.isEmpty())
        line = QStringLiteral(" unknown (") + Hex(function, 4) + QLatin1Char(')');
    const auto status = [&](TCallStatus value) {
        if (OnStatus)
            OnStatus(address, value);
    };

    switch (function) {
    case 0: // Get Supported Services: remember them and listen to them
        m_supplementary.ListenSent = false;
        if (p > 0) {
            const uint32_t mask = reader.ReadDword();
            m_supplementary.SetSupportedServices(mask);
            status(TCallStatus::GetSupplementServicesNotify);
            ListenSupplementaryRequest(m_controller, mask);
        }
        break;
    case 2:
        if (info != 0)
            status(TCallStatus::HoldReject);
        break;
    case 3:
        if (info != 0)
            status(TCallStatus::HoldConfirm);
        break;
    case 9:
        if (info != 0)
            NextForward(false);
        break;
    case 10:
        if (info != 0)
            NextUnForward(false);
        break;
    case 11:
        if (info != 0)
            NextInterrogateParams(false);
        break;
    case 12:
        if (info != 0)
            m_supplementary.ClearInterrogationPending();
        break;
    default:
        break;
    }

    const auto result = std::find_if(std::begin(kConfirmationResults), std::end(kConfirmationResults),
                                     [&](const TResultText& r) { return r.Info == info; });
    line += result == std::end(kConfirmationResults) ? QStringLiteral(": unknown reason")
                                                     : QLatin1String(result->Text);
    AppTrace(line);
}

// --- INFO_IND ---------------------------------------------------------------

uint32_t TCapi20::DecodeInfoIndication(TCapiMessageReader reader)
{
    const uint32_t address = reader.ReadDword();
    uint16_t n = reader.ReadWord();
    const uint8_t declared = reader.ReadByte();
    const uint32_t length = Available(reader, declared);
    const uint8_t* contents = reader.CurrentData();

    QString text = InfoElementText(n, contents, length);
    QString line = QStringLiteral("Info Indication: ") + text;
    if (n == kFacilityElement) {
        DecodeInfoFacility(address, contents, length, line, text);
    } else if (const TDecodedElement* element = DecodedElement(n); element && n >= 0x6C) {
        text = element->Decoder(nullptr, kTopLevel, contents, length); // without the line's label
    }
    if (!line.isEmpty())
        AppTrace(line);
    if (n == kDisconnectMessage)
        Calls().Call(address)->Connected = false;
    if (OnInfo)
        OnInfo(address, n, text);
    return address;
}

void TCapi20::DecodeInfoFacility(uint32_t address, const uint8_t* contents, uint32_t length, QString& line,
                                 QString& text)
{
    // Octet 0 the protocol profile, 1 the component tag, 2 its length, 3 to 5
    // the invoke identifier's tag, length and value.
    const TFacilityWindow window(contents, length);
    text.clear();
    const uint8_t kind = window[1];
    AppTrace(line + ComponentKindText(kind));
    line = QStringLiteral(" ");
    if (length < 6) {
        line.clear();
        return;
    }
    TRawPosition position = 2;
    uint8_t op = RawOperation(window, position);
    // An answer without an operation value belongs to the invoke we sent
    // with its identifier.
    if (op == 0 && kind != kInvoke && window[5] != 0) {
        op = m_supplementary.PendingInvokes[window[5]];
        m_supplementary.PendingInvokes[window[5]] = 0;
    }
    const bool forwardingHere = !m_supplementary.Offers(TSupplementaryService::CallForwarding);
    const auto named = [&](const char* name) {
        AppTrace(line + QLatin1String(name));
        line.clear();
    };
    // A list ends at its own length and at the element's end.
    const auto listEnd = [&](TRawPosition& at) {
        const uint32_t listLength = RawSkipHeader(window, at);
        return std::min<uint32_t>(at + listLength, length);
    };

    switch (op) {
    case 4: { // CCBS, when the controller leaves it to us
        line += QStringLiteral("CCBS");
        if (m_supplementary.Offers(TSupplementaryService::CCBS))
            break;
        const uint8_t c = window[position++]; // the operation's last arc
        line += c < kCcbsOperations.size() && kCcbsOperations[c] ? QLatin1String(kCcbsOperations[c])
                                                                   : QStringLiteral(" (") + Hex(c, 2) + QLatin1Char(')');
        if (c == 1) { // CallInfoRetain
            position += 2;
            const uint8_t linkage = window[position++];
            if (OnCompleteOffer)
                OnCompleteOffer(address, linkage, QString());
        } else if (c == 8) { // StatusRequest
            CcbsStatusResultInfoRequest(address, false);
        } else if (c == 9) { // BFree
            const TCcbsBFree bFree = RawCcbsBFree(window, position);
            AppTrace(bFree.number);
            CcbsDeactivateInfoRequest(address, bFree.linkageIdentifier);
            text = bFree.number;
            if (!bFree.number.isEmpty() && OnCompleteOffer)
                OnCompleteOffer(address, 129, bFree.number);
        } else if (c == 10) { // EraseCallLinkageId
            position += 2;
            ++position;
            if (OnCompleteOffer)
                OnCompleteOffer(address, 128, QString());
        }
        break;
    }
    case 7:
    case 8: {
        named(op == 7 ? "ActivationDiversion" : "DeactivationDiversion");
        if (!forwardingHere)
            break;
        const bool last = op == 7 ? NextForward(false) : NextUnForward(false);
        if (last && AbsentOrEmpty(m_supplementary.InterrogationQueue))
            InterrogateNumbersRequest(ControllerOf(address));
        break;
    }
    case 9:
    case 10:
        named(op == 9 ? "ActivationStatusNotificationDiv" : "DeactivationStatusNotificationDiv");
        if (forwardingHere && !m_supplementary.InterrogationPending
            && AbsentOrEmpty(op == 9 ? m_supplementary.ForwardQueue : m_supplementary.UnForwardQueue)
            && AbsentOrEmpty(m_supplementary.InterrogationQueue))
            InterrogateNumbersRequest(ControllerOf(address));
        break;
    case 11: { // interrogationDiversion: IntResultList
        named("InterrogationDiversion");
        if (!forwardingHere)
            break;
        QString list;
        if (kind == kReturnResult) {
            const uint32_t end = listEnd(position);
            while (position < end) {
                TRawPosition at = position;
                RawSkipHeader(window, at);
                const QString served = RawPartyNumber(window, at);
                const uint8_t basicService = RawFirstOctet(window, at);
                const uint8_t procedure = RawFirstOctet(window, at);
                RawSkipHeader(window, at);
                const QString forwardedTo = RawPartyNumber(window, at);
                if (at <= position)
                    break; // wrapped past the window or stuck: not an entry
                position = at;
                const QString entry = ForwardingEntry(procedure, basicService, served, forwardedTo);
                AppTrace(QLatin1Char(' ') + entry);
                list += entry + kSeparator;
                text = entry;
            }
        }
        if (OnGetForwardedNumbersEx)
            OnGetForwardedNumbersEx(address, list);
        NextInterrogateParams(false);
        break;
    }
    case 17: { // the served user numbers with forwarding
        named("InterrogationDiversion1");
        if (!forwardingHere)
            break;
        QString list;
        if (kind == kReturnResult) {
            const uint32_t end = listEnd(position);
            while (position < end) {
                TRawPosition at = position;
                const QString number = RawPartyNumber(window, at);
                if (at <= position)
                    break; // wrapped past the window or stuck: not a number
                position = at;
                text = number;
                if (!number.isEmpty())
                    list += number + kSeparator;
            }
        }
        AppTrace(QLatin1Char(' ') + list);
        m_supplementary.ClearInterrogationPending();
        if (OnGetForwardedNumbers)
            OnGetForwardedNumbers(address, list);
        break;
    }
    default: {
        const auto row = std::find_if(std::begin(kInfoOperationNames), std::end(kInfoOperationNames),
                                      [&](const TOperationName& r) { return r.Operation == op; });
        line += row != std::end(kInfoOperationNames) ? QLatin1String(row->Name)
                                                      : QStringLiteral("unknown (%1)").arg(op);
        break;
    }
    }
}
