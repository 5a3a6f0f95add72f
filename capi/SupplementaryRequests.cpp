// TCapi20: the outgoing supplementary-service messages, their queues and the
// timer's steps over them. Most are FACILITY_REQ with selector 3; without
// call forwarding in the controller, the diversion operations go out as
// hand-built Facility elements in an INFO_REQ.

#include "TFCapi20.h"

#include "CapiMessageWriter.h"

#include <chrono>
#include <vector>

namespace {

constexpr uint8_t kFacility = 0x80;
constexpr uint8_t kInfo = 0x08;
constexpr uint8_t kSelectBProtocol = 0x41;
constexpr uint8_t kRequest = 0x80;
constexpr uint16_t kSupplementaryServices = 3;

// Supplementary-service functions of FACILITY_REQ.
constexpr uint16_t kListen = 1;
constexpr uint16_t kEct = 6;
constexpr uint16_t kCfActivate = 9;
constexpr uint16_t kCfDeactivate = 10;
constexpr uint16_t kCfInterrogateParameters = 11;
constexpr uint16_t kCfInterrogateNumbers = 12;
constexpr uint16_t kCcbsDeactivate = 16;

// Local operation values of the hand-built invokes.
constexpr uint8_t kActivationDiversion = 7;
constexpr uint8_t kDeactivationDiversion = 8;
constexpr uint8_t kInterrogationDiversion = 11;
constexpr uint8_t kInterrogateServedNumbers = 17;

constexpr uint8_t kInvoke = 0xA1;
constexpr uint8_t kReturnResult = 0xA2;

// A BER length in one octet must stay in the short form.
constexpr uint32_t kMaxShortLength = 0x7F;

const QString kFacilityTitle = QStringLiteral("Facility Request");
const QString kInfoTitle = QStringLiteral("Info Request");
const QString kFailed = QStringLiteral(" failed: 0x");

QString Hex8(uint16_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// The common sequence after building: trace, put, success or failure line.
// The caller has checked that the driver library is loaded.
uint16_t Send(TCapi20& capi, const TCapiMessageWriter& writer, const QString& title, const QString& success,
              const QString& failurePrefix)
{
    capi.CapiTrace(title, writer.Message(), writer.MessageLength());
    const uint16_t info = capi.PutCapiMessage(capi.ApplID(), writer.Message());
    capi.AppTrace(info == 0 ? success : failurePrefix + Hex8(info));
    return info;
}

// FACILITY_REQ selector 3 up to the supplementary-service parameter struct,
// which the caller fills and closes.
uint32_t OpenFacility(TCapiMessageWriter& writer, TCapi20& capi, uint32_t address, uint16_t function)
{
    writer.Init(uint16_t(capi.ApplID()), kFacility, kRequest, capi.NextMessageNumber());
    writer.AddDword(address);
    writer.AddWord(kSupplementaryServices);
    const uint32_t outer = writer.OpenStruct();
    writer.AddWord(function);
    return outer;
}

// The octets of a number in a hand-built element: the low 8 bits of each
// UTF-16 code.
std::vector<uint8_t> NumberOctets(const QString& number)
{
    std::vector<uint8_t> octets;
    octets.reserve(size_t(number.size()));
    for (QChar c : number)
        octets.push_back(uint8_t(c.unicode()));
    return octets;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& octets)
{
    to.insert(to.end(), octets.begin(), octets.end());
}

// A facility party number struct is 4 octets plus the number's UTF-8; the
// parameter struct of a forwarding request holds two of them and must fit
// its one length octet, or the message would be cut inside a number.
bool FitsFacilityStruct(uint32_t fixedOctets, const QString& first, const QString& second = {})
{
    const auto size = [](const QString& number) { return number.isEmpty() ? 1 : 4 + number.toUtf8().size(); };
    return fixedOctets + size(first) + size(second) <= 255;
}

} // namespace

uint32_t TCapi20::TickCount() const
{
    if (m_tickSource)
        return m_tickSource();
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QString TCapi20::ComponentKindText(uint8_t componentTag)
{
    switch (componentTag) {
    case 0xA1: return QStringLiteral(" - invoke");
    case 0xA2: return QStringLiteral(" - result");
    case 0xA3: return QStringLiteral(" - error");
    case 0xA4: return QStringLiteral(" - reject");
    default: return {};
    }
}

// --- FACILITY_REQ and SELECT_B_PROTOCOL_REQ ------------------------------

uint16_t TCapi20::ListenSupplementaryRequest(uint32_t address, uint32_t mask)
{
    if (m_supplementary.ListenSent || !m_controllerProfile.SupplementaryServices)
        return 0;
    m_supplementary.ListenSent = true;
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, address, kListen);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(mask);
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    const QString text = QStringLiteral("Facility Request (Listen To Supplementary Services)");
    return Send(*this, writer, kFacilityTitle, text, text + kFailed);
}

uint16_t TCapi20::EctRequest(uint32_t plciOrNcci, uint32_t targetPlci)
{
    if (!CapiLoaded())
        return 1;
    // With a B3 connection still up the transfer waits for its clearing; the
    // Disconnect B3 Indication handler completes it.
    if (plciOrNcci > 0xFFFF && DisconnectB3Request(plciOrNcci) == 0) {
        Calls().Call(plciOrNcci)->PendingTransfer = targetPlci;
        return 0;
    }
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, plciOrNcci & 0xFFFF, kEct);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(targetPlci);
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: ECT)");
    return Send(*this, writer, kFacilityTitle, text, text + kFailed);
}

uint16_t TCapi20::SelectBProtocolRequest(uint32_t plci)
{
    if (!CapiLoaded())
        return 1;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), kSelectBProtocol, kRequest, NextMessageNumber());
    writer.AddDword(plci);
    writer.AddBProtocol(m_b1Protocol, m_b2Protocol, m_b3Protocol);
    const QString text = QStringLiteral("Select B Protocol Request");
    return Send(*this, writer, text, text, text + kFailed);
}

uint16_t TCapi20::ForwardRequest(uint32_t address, const QString& servedUserNumber,
                                 const QString& forwardedToNumber, uint16_t procedure, uint16_t basicService,
                                 bool queue)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    if (queue && QueueForward(address, servedUserNumber, procedure, basicService, forwardedToNumber))
        return 0;
    if (!m_supplementary.Offers(TSupplementaryService::CallForwarding))
        return ActivationDiversionInfoRequest(address, servedUserNumber, forwardedToNumber, procedure,
                                              basicService);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: Forward %1 to %2 [%3/%4])")
                             .arg(servedUserNumber, forwardedToNumber)
                             .arg(procedure)
                             .arg(basicService);
    if (!FitsFacilityStruct(9, servedUserNumber, forwardedToNumber)) {
        AppTrace(text + QStringLiteral(" failed: number too long"));
        NextForward(false);
        return 1;
    }
    const uint8_t handle = m_supplementary.StepInvokeCounter();
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, address, kCfActivate);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(handle);
    writer.AddWord(procedure);
    writer.AddWord(basicService);
    writer.AddFacilityPartyNumber(servedUserNumber, m_presentation);
    writer.AddFacilityPartyNumber(forwardedToNumber, true);
    writer.AddSubaddress(QString());
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    const uint16_t info = Send(*this, writer, kFacilityTitle, text, text + kFailed);
    if (info != 0)
        NextForward(false);
    return info;
}

// Deactivation and parameter interrogation carry the same parameters.
uint16_t TCapi20::UnForwardRequest(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                                   uint16_t basicService, bool queue)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    if (queue && QueueUnForward(address, servedUserNumber, procedure, basicService))
        return 0;
    if (!m_supplementary.Offers(TSupplementaryService::CallForwarding))
        return DeactivationDiversionInfoRequest(address, servedUserNumber, procedure, basicService);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: UnForward %1 [%2/%3])")
                             .arg(servedUserNumber)
                             .arg(procedure)
                             .arg(basicService);
    const uint16_t info = SendForwardingRequest(kCfDeactivate, address, servedUserNumber, procedure,
                                                basicService, text, text + kFailed);
    if (info != 0)
        NextUnForward(false);
    return info;
}

uint16_t TCapi20::InterrogateParamsRequest(uint32_t address, const QString& servedUserNumber,
                                           uint16_t procedure, uint16_t basicService, bool queue)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    if (queue && QueueInterrogateParams(address, servedUserNumber, procedure, basicService))
        return 0;
    if (!m_supplementary.Offers(TSupplementaryService::CallForwarding))
        return InterrogateParamsInfoRequest(address, servedUserNumber, procedure, basicService);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: Forward - Interrogate Params)");
    const uint16_t info = SendForwardingRequest(kCfInterrogateParameters, address, servedUserNumber, procedure,
                                                basicService, text, text + kFailed);
    if (info != 0)
        NextInterrogateParams(false);
    return info;
}

uint16_t TCapi20::SendForwardingRequest(uint16_t function, uint32_t address, const QString& servedUserNumber,
                                        uint16_t procedure, uint16_t basicService, const QString& success,
                                        const QString& failurePrefix)
{
    if (!FitsFacilityStruct(8, servedUserNumber)) {
        AppTrace(success + QStringLiteral(" failed: number too long"));
        return 1;
    }
    const uint8_t handle = m_supplementary.StepInvokeCounter();
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, address, function);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(handle);
    writer.AddWord(procedure);
    writer.AddWord(basicService);
    writer.AddFacilityPartyNumber(servedUserNumber, m_presentation);
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    return Send(*this, writer, kFacilityTitle, success, failurePrefix);
}

uint16_t TCapi20::InterrogateNumbersRequest(uint32_t address)
{
    if (!CapiLoaded() || ApplID() == 0)
        return 1;
    m_supplementary.SetInterrogationPending(TickCount());
    if (!m_supplementary.Offers(TSupplementaryService::CallForwarding))
        return InterrogateNumbersInfoRequest(address);
    if (address == 0)
        address = m_controller;
    const uint8_t handle = m_supplementary.StepInvokeCounter();
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, address, kCfInterrogateNumbers);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(handle);
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: Forward - Interrogate Numbers)");
    const uint16_t info = Send(*this, writer, kFacilityTitle, text, text + kFailed);
    if (info != 0)
        m_supplementary.ClearInterrogationPending();
    return info;
}

uint16_t TCapi20::CcbsDeactivateRequest(uint32_t /*plci*/, uint16_t ccbsReference)
{
    if (!CapiLoaded())
        return 1;
    const uint8_t handle = m_supplementary.StepInvokeCounter();
    TCapiMessageWriter writer;
    const uint32_t outer = OpenFacility(writer, *this, m_controller, kCcbsDeactivate);
    const uint32_t inner = writer.OpenStruct();
    writer.AddDword(handle);
    writer.AddWord(ccbsReference);
    writer.CloseStruct(inner);
    writer.CloseStruct(outer);
    const QString text = QStringLiteral("Facility Request (Supplementary Services: CCBS deactivate)");
    return Send(*this, writer, kFacilityTitle, text, text + kFailed);
}

// --- INFO_REQ with a hand-built Facility element --------------------------

uint16_t TCapi20::SendFacilityElement(uint32_t address, const std::vector<uint8_t>& element,
                                      const QString& success, const QString& failurePrefix)
{
    TCapiMessageWriter writer;
    writer.Init(uint16_t(ApplID()), kInfo, kRequest, NextMessageNumber());
    writer.AddDword(address);
    writer.AddCalledPartyNumber(QString());
    writer.AddAdditionalInfo(QString(), QString(), element.data(), uint8_t(element.size()));
    return Send(*this, writer, kInfoTitle, success, failurePrefix);
}

uint16_t TCapi20::ActivationDiversionInfoRequest(uint32_t address, const QString& servedUserNumber,
                                                 const QString& forwardedToNumber, uint16_t procedure,
                                                 uint16_t basicService)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    const std::vector<uint8_t> s = NumberOctets(servedUserNumber);
    const std::vector<uint8_t> f = NumberOctets(forwardedToNumber);
    const uint32_t k = uint32_t(s.size());
    const uint32_t m = uint32_t(f.size());
    const QString text = QStringLiteral("Info Request (activationDiversion") + ComponentKindText(kInvoke)
                         + forwardedToNumber + QStringLiteral(" to ") + servedUserNumber + QStringLiteral(")");
    if (20 + m + k > kMaxShortLength) {
        AppTrace(text + QStringLiteral(" failed: number too long"));
        return 1;
    }
    const uint8_t id = m_supplementary.StepInvokeCounter();
    std::vector<uint8_t> e = {0x1C, uint8_t(23 + m + k), 0x91, kInvoke, uint8_t(20 + m + k),
                              0x02, 0x01, id, 0x02, 0x01, kActivationDiversion,
                              0x30, uint8_t(12 + m + k),
                              0x0A, 0x01, uint8_t(procedure), 0x0A, 0x01, uint8_t(basicService),
                              0x30, uint8_t(m + 2), 0x80, uint8_t(m)};
    Append(e, f);
    e.insert(e.end(), {0x80, uint8_t(k)});
    Append(e, s);
    m_supplementary.PendingInvokes[id] = kActivationDiversion;
    return SendFacilityElement(address, e, text, text + kFailed);
}

// Deactivation and parameter interrogation share one element layout.
std::vector<uint8_t> TCapi20::DiversionElement(uint8_t operation, const QString& servedUserNumber,
                                               uint16_t procedure, uint16_t basicService)
{
    const std::vector<uint8_t> s = NumberOctets(servedUserNumber);
    const uint32_t k = uint32_t(s.size());
    const uint8_t id = m_supplementary.StepInvokeCounter();
    std::vector<uint8_t> e = {0x1C, uint8_t(19 + k), 0x91, kInvoke, uint8_t(16 + k),
                              0x02, 0x01, id, 0x02, 0x01, operation,
                              0x30, uint8_t(8 + k),
                              0x0A, 0x01, uint8_t(procedure), 0x0A, 0x01, uint8_t(basicService),
                              0x80, uint8_t(k)};
    Append(e, s);
    m_supplementary.PendingInvokes[id] = operation;
    return e;
}

uint16_t TCapi20::DeactivationDiversionInfoRequest(uint32_t address, const QString& servedUserNumber,
                                                   uint16_t procedure, uint16_t basicService)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    const QString text = QStringLiteral("Info Request (deactivationDiversion") + ComponentKindText(kInvoke)
                         + servedUserNumber + QStringLiteral(")");
    uint16_t info = 1;
    if (16 + uint32_t(servedUserNumber.size()) > kMaxShortLength)
        AppTrace(text + QStringLiteral(" failed: number too long"));
    else
        info = SendFacilityElement(
            address, DiversionElement(kDeactivationDiversion, servedUserNumber, procedure, basicService), text,
            text + kFailed);
    if (info != 0)
        NextUnForward(false);
    return info;
}

uint16_t TCapi20::InterrogateParamsInfoRequest(uint32_t address, const QString& servedUserNumber,
                                               uint16_t procedure, uint16_t basicService)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    const QString text = QStringLiteral("Info Request (interrogationDiversion") + ComponentKindText(kInvoke)
                         + QStringLiteral(")");
    uint16_t info = 1;
    if (16 + uint32_t(servedUserNumber.size()) > kMaxShortLength)
        AppTrace(text + QStringLiteral(" failed: number too long"));
    else
        info = SendFacilityElement(
            address, DiversionElement(kInterrogationDiversion, servedUserNumber, procedure, basicService), text,
            QStringLiteral("Info Request (interrogationDiversion) failed: 0x"));
    if (info != 0)
        NextInterrogateParams(false);
    return info;
}

uint16_t TCapi20::InterrogateNumbersInfoRequest(uint32_t address)
{
    if (!CapiLoaded())
        return 1;
    if (address == 0)
        address = m_controller;
    const uint8_t id = m_supplementary.StepInvokeCounter();
    const std::vector<uint8_t> e = {0x1C, 0x09, 0x91, kInvoke, 0x06, 0x02, 0x01, id,
                                    0x02, 0x01, kInterrogateServedNumbers};
    m_supplementary.PendingInvokes[id] = kInterrogateServedNumbers;
    const QString text = QStringLiteral("Info Request (interrogationDiversion") + ComponentKindText(kInvoke)
                         + QStringLiteral(")");
    return SendFacilityElement(address, e, text, text + kFailed);
}

// The two CCBS answers carry fixed identifiers and leave the invoke counter be.
uint16_t TCapi20::CcbsStatusResultInfoRequest(uint32_t plci, bool free)
{
    if (!CapiLoaded())
        return 1;
    // returnResult for invoke 7F80 of CCBS StatusRequest {0 4 0 359 1 8}: BOOLEAN free
    const std::vector<uint8_t> e = {0x1C, 0x14, 0x91, kReturnResult, 0x11, 0x02, 0x02, 0x7F, 0x80, 0x30, 0x0B,
                                    0x06, 0x06, 0x04, 0x00, 0x82, 0x67, 0x01, 0x08, 0x01, 0x01, uint8_t(free)};
    const QString text = QStringLiteral("Info Request (CCBS status ") + ComponentKindText(kReturnResult)
                         + QStringLiteral(")");
    return SendFacilityElement(plci, e, text, QStringLiteral("Info Request (CCBS status result) failed: 0x"));
}

uint16_t TCapi20::CcbsDeactivateInfoRequest(uint32_t plci, uint8_t callLinkageIdentifier)
{
    if (!CapiLoaded())
        return 1;
    // invoke AB of CCBS Deactivate {0 4 0 359 1 3}: INTEGER call linkage identifier
    const std::vector<uint8_t> e = {0x1C, 0x11, 0x91, kInvoke, 0x0E, 0x02, 0x01, 0xAB, 0x06, 0x06,
                                    0x04, 0x00, 0x82, 0x67, 0x01, 0x03, 0x02, 0x01, callLinkageIdentifier};
    const QString text = QStringLiteral("Info Request (CCBS status ") + ComponentKindText(kInvoke)
                         + QStringLiteral(")");
    return SendFacilityElement(plci, e, text, QStringLiteral("Info Request (CCBS status result) failed: 0x"));
}

// --- Queues ----------------------------------------------------------------

bool TCapi20::QueueForward(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                           uint16_t basicService, const QString& forwardedToNumber)
{
    return TSupplementaryState::Append(m_supplementary.ForwardQueue,
                                       {address, servedUserNumber, forwardedToNumber, procedure, basicService,
                                        TickCount()});
}

bool TCapi20::QueueUnForward(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                             uint16_t basicService)
{
    return TSupplementaryState::Append(m_supplementary.UnForwardQueue,
                                       {address, servedUserNumber, {}, procedure, basicService, TickCount()});
}

bool TCapi20::QueueInterrogateParams(uint32_t address, const QString& servedUserNumber, uint16_t procedure,
                                     uint16_t basicService)
{
    return TSupplementaryState::Append(m_supplementary.InterrogationQueue,
                                       {address, servedUserNumber, {}, procedure, basicService, TickCount()});
}

// The head record is the request just answered or refused; the next one is
// sent while it stays at the head. True: the answered one was the last.
bool TCapi20::NextQuery(TQueryQueue& queue, bool dropAll, const std::function<void(const TQuery&)>& send)
{
    if (!queue)
        return false;
    if (dropAll) {
        queue.reset();
        return true;
    }
    if (queue->empty())
        return false;
    queue->pop_front();
    if (queue->empty())
        return true;
    // A copy: sending may fail and advance this very queue again.
    const TQuery next = queue->front();
    send(next);
    return false;
}

bool TCapi20::NextForward(bool dropAll)
{
    return NextQuery(m_supplementary.ForwardQueue, dropAll, [this](const TQuery& q) {
        ForwardRequest(q.Address, q.ServedUserNumber, q.ForwardedToNumber, q.Procedure, q.BasicService, false);
    });
}

bool TCapi20::NextUnForward(bool dropAll)
{
    return NextQuery(m_supplementary.UnForwardQueue, dropAll, [this](const TQuery& q) {
        UnForwardRequest(q.Address, q.ServedUserNumber, q.Procedure, q.BasicService, false);
    });
}

bool TCapi20::NextInterrogateParams(bool dropAll)
{
    return NextQuery(m_supplementary.InterrogationQueue, dropAll, [this](const TQuery& q) {
        InterrogateParamsRequest(q.Address, q.ServedUserNumber, q.Procedure, q.BasicService, false);
    });
}

// --- The 3-second timer's steps -------------------------------------------

bool TCapi20::DropStaleSupplementaryQueue(uint32_t now)
{
    if (TSupplementaryState::Stale(m_supplementary.ForwardQueue, now))
        return NextForward(true);
    if (TSupplementaryState::Stale(m_supplementary.UnForwardQueue, now))
        return NextUnForward(true);
    if (TSupplementaryState::Stale(m_supplementary.InterrogationQueue, now))
        return NextInterrogateParams(true);
    return false;
}

bool TCapi20::EndStaleInterrogation(uint32_t now)
{
    if (!m_supplementary.InterrogationStale(now))
        return false;
    m_supplementary.ClearInterrogationPending();
    if (OnGetForwardedNumbers)
        OnGetForwardedNumbers(m_controller, QString());
    return true;
}
