#include "LiveCalls.h"

#include "SimController.h"
#include "SimMessage.h"
#include "TracePlayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vsim {

namespace {

constexpr uint8_t kAlert = 0x01;
constexpr uint8_t kConnect = 0x02;
constexpr uint8_t kConnectActive = 0x03;
constexpr uint8_t kDisconnect = 0x04;
constexpr uint8_t kListen = 0x05;
constexpr uint8_t kInfo = 0x08;
constexpr uint8_t kSelectBProtocol = 0x41;
constexpr uint8_t kFacility = 0x80;
constexpr uint8_t kConnectB3 = 0x82;
constexpr uint8_t kConnectB3Active = 0x83;
constexpr uint8_t kDisconnectB3 = 0x84;
constexpr uint8_t kDataB3 = 0x86;
constexpr uint8_t kReq = 0x80;
constexpr uint8_t kConf = 0x81;
constexpr uint8_t kInd = 0x82;
constexpr uint8_t kResp = 0x83;

constexpr uint16_t kInfoWrongState = 0x2001;
constexpr uint16_t kInfoIllegalPlci = 0x2002;
constexpr uint16_t kInfoNoPlci = 0x2003;
// The caller cleared: cause 16, normal call clearing, from the network.
constexpr uint16_t kReasonNormalClearing = 0x3490;
constexpr uint8_t kCauseNormalClearing = 0x90;
// How long the card waits for a response that ends a call before it goes on.
constexpr std::chrono::milliseconds kGrace{3000};
constexpr std::chrono::milliseconds kFirstOffer{2000};

constexpr uint32_t kController = 1;
constexpr char kCalled[] = "4567";
// National numbers, without the national prefix.
constexpr const char* kCallers[] = {"301234567", "8912345678", "40987654"};

struct TOfferedService {
    uint16_t Cip;
    std::vector<uint8_t> Bearer;
    std::vector<uint8_t> HighLayer;
};
// The call types the demo offers, in turn; each goes to listeners whose CIP
// mask has its bit (or bit 0, any call).
const TOfferedService kServices[] = {
    {16, {0x80, 0x90, 0xA3}, {0x91, 0x81}}, // telephony
    {1, {0x80, 0x90, 0xA3}, {}},            // speech
    {17, {0x90, 0x90, 0xA3}, {0x91, 0x84}}, // fax group 2/3
    {2, {0x88, 0x90}, {}},                  // unrestricted digital information
};

// A reject of CONNECT_RESP as the cause of the RELEASE COMPLETE it sends.
uint8_t RejectCause(uint16_t reject)
{
    static constexpr uint8_t kCauses[] = {0x90, 0x90, 0x90, 0x91, 0xA2, 0x9D, 0x86, 0xD8, 0x9B};
    return reject < std::size(kCauses) ? kCauses[reject] : kCauseNormalClearing;
}

uint16_t Word(const uint8_t* bytes, uint32_t length, uint32_t at)
{
    return at + 2 <= length ? uint16_t(bytes[at] | bytes[at + 1] << 8) : 0;
}

uint32_t Dword(const uint8_t* bytes, uint32_t length, uint32_t at)
{
    return at + 4 <= length ? uint32_t(Word(bytes, length, at)) | uint32_t(Word(bytes, length, at + 2)) << 16 : 0;
}

std::chrono::milliseconds EnvironmentMs(const char* name, std::chrono::milliseconds fallback)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0)
        return fallback;
    char* end = nullptr;
    const unsigned long long ms = std::strtoull(value, &end, 10);
    if (*end != 0 || ms > 3600000)
        return fallback;
    return std::chrono::milliseconds(ms);
}

bool HoldsB3(TLiveCall::TState state)
{
    using S = TLiveCall::TState;
    return state == S::B3Offered || state == S::B3Starting || state == S::B3Active;
}

// Q.931 frames of the call on the basic-rate D-channel of TEI 64; the network
// uses call reference flag 0, the terminal flag 1.
std::vector<uint8_t> FromNetwork(const TLiveCall& call, std::initializer_list<uint8_t> message)
{
    std::vector<uint8_t> frame = {0x02, 0x81, 0x00, 0x00, 0x08, 0x01, call.CallReference};
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

std::vector<uint8_t> FromTerminal(const TLiveCall& call, std::initializer_list<uint8_t> message)
{
    std::vector<uint8_t> frame = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, uint8_t(0x80 | call.CallReference)};
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

} // namespace

TLiveCalls& TLiveCalls::Instance()
{
    static TLiveCalls calls;
    return calls;
}

TLiveCalls::~TLiveCalls()
{
    Reset();
}

void TLiveCalls::Reset()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
        thread.swap(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    std::lock_guard<std::mutex> guard(m_lock);
    m_stop = false;
    m_listeners.clear();
    m_calls.clear();
}

void TLiveCalls::SetB3ActiveHook(TLiveCallHook hook)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_b3ActiveHook = hook;
}

void TLiveCalls::SetB3ClearedHook(TLiveCallHook hook)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_b3ClearedHook = hook;
}

void TLiveCalls::SetRequestHook(uint8_t command, TLiveRequestHook hook)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_requestHooks[command] = hook;
}

uint16_t TLiveCalls::NextIndicationNumber()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nextNumber++;
}

std::vector<TLiveCall> TLiveCalls::Calls(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<TLiveCall> calls;
    for (const TLiveCall& call : m_calls)
        if (applId == 0 || call.ApplId == applId)
            calls.push_back(call);
    return calls;
}

void TLiveCalls::Released(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_listeners.erase(applId);
    std::erase_if(m_calls, [applId](const TLiveCall& call) { return call.ApplId == applId; });
}

void TLiveCalls::Request(uint32_t applId, const uint8_t* message, uint32_t length)
{
    if (length < 8 || TTracePlayer::Instance().HasScenario())
        return; // a scenario plays instead of the live demo
    const uint8_t command = message[4];
    const uint8_t subcommand = message[5];
    TLiveCallHook hook = nullptr;
    TLiveCall copy;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (command == kListen && subcommand == kReq) {
            Listen(applId, message, length);
            return;
        }
        const bool known = m_listeners.count(applId) != 0
            || std::any_of(m_calls.begin(), m_calls.end(), [applId](const TLiveCall& c) { return c.ApplId == applId; });
        if (!known)
            return; // only listening applications get the demo's answers
        TLiveCall* call = FindLocked(applId, Dword(message, length, 8));
        const auto custom = m_requestHooks.find(command);
        if (custom != m_requestHooks.end() && custom->second != nullptr
            && custom->second(applId, call, message, length))
            return;
        if (subcommand == kResp && call != nullptr)
            hook = Answer(*call, message, length);
        else if (subcommand == kReq)
            hook = Confirm(applId, call, message, length);
        if (hook != nullptr) {
            call = FindLocked(applId, Dword(message, length, 8));
            if (call != nullptr)
                copy = *call;
            else
                hook = nullptr;
        }
    }
    // An answer may have moved a call's next step (the talk time starts at
    // CONNECT_RESP): the calls' thread looks again.
    m_wake.notify_all();
    RunHook(hook, copy);
}

void TLiveCalls::RunHook(TLiveCallHook hook, const TLiveCall& call)
{
    if (hook != nullptr)
        hook(call);
}

bool TLiveCalls::BusyLocked(uint32_t applId) const
{
    const auto calls = std::count_if(m_calls.begin(), m_calls.end(),
                                     [applId](const TLiveCall& call) { return call.ApplId == applId; });
    return size_t(calls) >= m_times.Lines;
}

TLiveCall* TLiveCalls::FindLocked(uint32_t applId, uint32_t address)
{
    // A PLCI is the controller and the PLCI number; an NCCI adds its number above.
    const uint32_t plci = address & 0xFFFF;
    if ((plci & 0xFF00) == 0)
        return nullptr;
    for (TLiveCall& call : m_calls)
        if (call.ApplId == applId && call.Plci == plci)
            return &call;
    return nullptr;
}

void TLiveCalls::Send(uint32_t applId, TSimMessage& message)
{
    const std::vector<uint8_t>& bytes = message.Bytes();
    TSimController::Instance().Deliver(applId, bytes.data(), uint32_t(bytes.size()));
}

void TLiveCalls::Frame(const TLiveCall& call, bool sent, std::vector<uint8_t> frame)
{
    TTraceStep step;
    step.Sent = sent;
    step.Frame = std::move(frame);
    TTracePlayer::Instance().DeliverFrame(call.ApplId, step); // nothing when the trace is off
}

void TLiveCalls::Listen(uint32_t applId, const uint8_t* message, uint32_t length)
{
    const uint32_t controller = Dword(message, length, 8);
    const uint32_t cipMask = Dword(message, length, 16);
    // Only the demo's listeners hear from it: an application that asks for
    // no calls (a listen-off at release) is left alone, as are hosts that
    // script their own answers.
    if (cipMask == 0 && m_listeners.count(applId) == 0)
        return;
    TSimMessage confirm(kListen, kConf, Word(message, length, 6));
    confirm.Dword(controller).Word(0);
    Send(applId, confirm);
    if (cipMask == 0 || (controller & 0x7F) != kController) {
        m_listeners.erase(applId);
        return;
    }
    m_times.Interval = EnvironmentMs("VESSIK_SIM_CALL_INTERVAL_MS", std::chrono::milliseconds(20000));
    m_times.Ring = EnvironmentMs("VESSIK_SIM_RING_MS", std::chrono::milliseconds(8000));
    m_times.Talk = EnvironmentMs("VESSIK_SIM_TALK_MS", std::chrono::milliseconds(10000));
    const char* lines = std::getenv("VESSIK_SIM_LINES");
    m_times.Lines = lines != nullptr && std::string(lines) == "2" ? 2 : 1;
    TListener& listener = m_listeners[applId];
    const bool first = listener.CipMask == 0;
    listener.CipMask = cipMask;
    if (first) // the first call soon, so that a new listener sees one
        listener.NextOffer = TClock::now() + std::min(m_times.Interval, kFirstOffer);
    EnsureThreadLocked();
    m_wake.notify_all();
}

void TLiveCalls::EnsureThreadLocked()
{
    if (!m_thread.joinable())
        m_thread = std::thread(&TLiveCalls::Run, this);
}

void TLiveCalls::Offer(uint32_t applId, TListener& listener)
{
    const TOfferedService* service = nullptr;
    for (size_t i = 0; i < std::size(kServices) && service == nullptr; ++i) {
        const TOfferedService& candidate = kServices[(m_offered + i) % std::size(kServices)];
        if ((listener.CipMask & 1) != 0 || (listener.CipMask >> candidate.Cip & 1) != 0)
            service = &candidate;
    }
    listener.NextOffer = TClock::now() + m_times.Interval;
    if (service == nullptr)
        return; // the listener takes none of the demo's call types
    TLiveCall call;
    call.ApplId = applId;
    do {
        m_nextPlci = uint8_t(m_nextPlci + 1);
        call.Plci = kController | uint32_t(m_nextPlci) << 8;
    } while (m_nextPlci == 0 || FindLocked(applId, call.Plci) != nullptr);
    // Call references from 16 on, apart from those of the demo's trace.
    m_nextCallReference = uint8_t((m_nextCallReference + 1) % 100);
    call.CallReference = uint8_t(16 + m_nextCallReference);
    call.Cip = service->Cip;
    call.Calling = kCallers[m_offered % std::size(kCallers)];
    call.Called = kCalled;
    call.BChannel = uint8_t(1 + m_offered % 2);
    call.Due = TClock::now() + m_times.Ring;
    ++m_offered;

    // D-channel first: the SETUP the network broadcast.
    std::vector<uint8_t> setup = {0x02, 0xFF, 0x03, 0x08, 0x01, call.CallReference, 0x05, 0x04,
                                  uint8_t(service->Bearer.size())};
    setup.insert(setup.end(), service->Bearer.begin(), service->Bearer.end());
    setup.insert(setup.end(), {0x18, 0x01, uint8_t(0x88 | call.BChannel), 0x6C, uint8_t(call.Calling.size() + 2),
                               0x21, 0x83});
    setup.insert(setup.end(), call.Calling.begin(), call.Calling.end());
    setup.insert(setup.end(), {0x70, uint8_t(call.Called.size() + 1), 0xC1});
    setup.insert(setup.end(), call.Called.begin(), call.Called.end());
    Frame(call, false, setup);

    std::vector<uint8_t> called = {0x81};
    called.insert(called.end(), call.Called.begin(), call.Called.end());
    std::vector<uint8_t> calling = {0x21, 0x83};
    calling.insert(calling.end(), call.Calling.begin(), call.Calling.end());
    // Additional info: B channel information (use a B channel), no keypad,
    // user-user data or facilities, sending complete.
    const std::vector<uint8_t> additional = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00};
    TSimMessage indication(kConnect, kInd, m_nextNumber++);
    indication.Dword(call.Plci)
        .Word(call.Cip)
        .Struct(called)
        .Struct(calling)
        .EmptyStruct()
        .EmptyStruct()
        .Struct(service->Bearer)
        .EmptyStruct()
        .Struct(service->HighLayer)
        .Struct(additional);
    m_calls.push_back(call);
    Send(applId, indication);
}

TLiveCallHook TLiveCalls::Answer(TLiveCall& call, const uint8_t* message, uint32_t length)
{
    using S = TLiveCall::TState;
    const uint8_t command = message[4];
    const auto now = TClock::now();
    if (command == kConnect && call.State == S::Ringing) {
        const uint16_t reject = Word(message, length, 12);
        if (reject == 0) {
            Frame(call, true, FromTerminal(call, {0x07}));    // CONNECT
            Frame(call, false, FromNetwork(call, {0x0F}));    // CONNECT ACKNOWLEDGE
            call.State = S::Connecting;
            call.Due = now + m_times.Talk;
            TSimMessage active(kConnectActive, kInd, m_nextNumber++);
            active.Dword(call.Plci).EmptyStruct().EmptyStruct().EmptyStruct();
            Send(call.ApplId, active);
        } else {
            if (reject != 1) // ignoring leaves the line to other terminals
                Frame(call, true, FromTerminal(call, {0x5A, 0x08, 0x02, 0x80, RejectCause(reject)}));
            Disconnect(call, 0);
        }
    } else if (command == kConnectActive && call.State == S::Connecting) {
        call.Ncci = call.Plci | 1u << 16;
        call.State = S::B3Offered;
        TSimMessage b3(kConnectB3, kInd, m_nextNumber++);
        b3.Dword(call.Ncci).EmptyStruct();
        Send(call.ApplId, b3);
    } else if (command == kConnectB3 && call.State == S::B3Offered) {
        if (Word(message, length, 12) == 0) {
            call.State = S::B3Starting;
            TSimMessage active(kConnectB3Active, kInd, m_nextNumber++);
            active.Dword(call.Ncci).EmptyStruct();
            Send(call.ApplId, active);
        } else {
            return ClearB3(call, 0, S::B3Clearing);
        }
    } else if (command == kConnectB3Active && call.State == S::B3Starting) {
        call.State = S::B3Active;
        return m_b3ActiveHook;
    } else if (command == kDisconnectB3 && call.State == S::B3Clearing) {
        call.State = S::Connected;
        call.Ncci = 0;
    } else if (command == kDisconnectB3 && call.State == S::Clearing) {
        call.Ncci = 0;
        Disconnect(call, call.ClearReason);
    } else if (command == kDisconnect && call.State == S::Released) {
        EndCallLocked(call);
    }
    return nullptr;
}

TLiveCallHook TLiveCalls::Confirm(uint32_t applId, TLiveCall* call, const uint8_t* message, uint32_t length)
{
    using S = TLiveCall::TState;
    const uint8_t command = message[4];
    const uint16_t number = Word(message, length, 6);
    const uint32_t address = Dword(message, length, 8);
    // Requests for a PLCI the card does not know are refused as CAPI 2.0 says.
    const bool toController = (address & 0xFF00) == 0;
    const uint16_t noCall = toController ? 0 : kInfoIllegalPlci;
    TSimMessage confirm(command, kConf, number);
    TLiveCallHook hook = nullptr;
    switch (command) {
    case kAlert: {
        const bool ringing = call != nullptr && call->State == S::Ringing;
        confirm.Dword(address).Word(call == nullptr ? kInfoIllegalPlci : ringing ? 0 : kInfoWrongState);
        Send(applId, confirm);
        if (ringing && !call->Alerted) {
            call->Alerted = true;
            Frame(*call, true, FromTerminal(*call, {0x01, 0x18, 0x01, uint8_t(0x88 | call->BChannel)}));
        }
        return nullptr;
    }
    case kConnect:
        // The demo places no calls.
        confirm.Dword(address).Word(kInfoNoPlci);
        break;
    case kConnectB3:
        if (call != nullptr && call->State == S::Connected) {
            call->Ncci = call->Plci | 1u << 16;
            confirm.Dword(call->Ncci).Word(0);
            Send(applId, confirm);
            call->State = S::B3Starting;
            TSimMessage active(kConnectB3Active, kInd, m_nextNumber++);
            active.Dword(call->Ncci).EmptyStruct();
            Send(applId, active);
            return nullptr;
        }
        confirm.Dword(address).Word(call == nullptr ? kInfoIllegalPlci : kInfoWrongState);
        break;
    case kDisconnect:
        if (call == nullptr || call->State == S::Released || call->State == S::Clearing) {
            confirm.Dword(address).Word(call == nullptr ? kInfoIllegalPlci : kInfoWrongState);
            break;
        }
        confirm.Dword(address).Word(0);
        Send(applId, confirm);
        Frame(*call, true, FromTerminal(*call, {0x45, 0x08, 0x02, 0x80, kCauseNormalClearing})); // DISCONNECT
        Frame(*call, false, FromNetwork(*call, {0x4D}));                                         // RELEASE
        Frame(*call, true, FromTerminal(*call, {0x5A}));                                         // RELEASE COMPLETE
        call->ClearReason = 0;
        if (HoldsB3(call->State))
            return ClearB3(*call, 0, S::Clearing);
        Disconnect(*call, 0);
        return nullptr;
    case kDisconnectB3:
        if (call != nullptr && HoldsB3(call->State)) {
            confirm.Dword(address).Word(0);
            Send(applId, confirm);
            return ClearB3(*call, 0, S::B3Clearing);
        }
        confirm.Dword(address).Word(call == nullptr ? kInfoIllegalPlci : kInfoWrongState);
        break;
    case kInfo:
        confirm.Dword(address).Word(call != nullptr ? 0 : noCall);
        break;
    case kSelectBProtocol:
        confirm.Dword(address).Word(call != nullptr ? 0 : kInfoIllegalPlci);
        break;
    case kFacility:
        confirm.Dword(address).Word(call != nullptr ? 0 : noCall).Word(Word(message, length, 12)).EmptyStruct();
        break;
    case kDataB3:
        confirm.Dword(address)
            .Word(Word(message, length, 18))
            .Word(call != nullptr && call->State == S::B3Active ? 0 : kInfoWrongState);
        break;
    default:
        return nullptr; // nothing the card answers
    }
    Send(applId, confirm);
    return hook;
}

TLiveCallHook TLiveCalls::ClearB3(TLiveCall& call, uint16_t reason, TLiveCall::TState next)
{
    const bool wasActive = call.State == TLiveCall::TState::B3Active;
    TSimMessage clear(kDisconnectB3, kInd, m_nextNumber++);
    clear.Dword(call.Ncci).Word(reason).EmptyStruct();
    call.State = next;
    if (next == TLiveCall::TState::Clearing)
        call.Due = TClock::now() + kGrace;
    Send(call.ApplId, clear);
    return wasActive ? m_b3ClearedHook : nullptr;
}

void TLiveCalls::Disconnect(TLiveCall& call, uint16_t reason)
{
    TSimMessage clear(kDisconnect, kInd, m_nextNumber++);
    clear.Dword(call.Plci).Word(reason);
    call.State = TLiveCall::TState::Released;
    call.Due = TClock::now() + kGrace;
    Send(call.ApplId, clear);
}

void TLiveCalls::EndCallLocked(const TLiveCall& call)
{
    const uint32_t applId = call.ApplId;
    const uint32_t plci = call.Plci;
    std::erase_if(m_calls, [&](const TLiveCall& c) { return c.ApplId == applId && c.Plci == plci; });
    const auto listener = m_listeners.find(applId);
    if (listener != m_listeners.end())
        listener->second.NextOffer = TClock::now() + m_times.Interval;
    m_wake.notify_all();
}

TLiveCallHook TLiveCalls::TimeUp(TLiveCall& call)
{
    using S = TLiveCall::TState;
    switch (call.State) {
    case S::Ringing:
    case S::Connecting:
    case S::Connected:
    case S::B3Clearing:
    case S::B3Offered:
    case S::B3Starting:
    case S::B3Active:
        // The caller hangs up.
        Frame(call, false, FromNetwork(call, {0x45, 0x08, 0x02, 0x80, kCauseNormalClearing})); // DISCONNECT
        Frame(call, true, FromTerminal(call, {0x4D}));                                         // RELEASE
        Frame(call, false, FromNetwork(call, {0x5A}));                                         // RELEASE COMPLETE
        call.ClearReason = kReasonNormalClearing;
        if (HoldsB3(call.State))
            return ClearB3(call, 0, S::Clearing);
        Disconnect(call, kReasonNormalClearing);
        return nullptr;
    case S::Clearing: // no DISCONNECT_B3_RESP came
        Disconnect(call, call.ClearReason);
        return nullptr;
    case S::Released: // no DISCONNECT_RESP came
        return nullptr;
    }
    return nullptr;
}

void TLiveCalls::Run()
{
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_stop) {
        const auto now = TClock::now();
        std::vector<std::pair<TLiveCallHook, TLiveCall>> hooks;
        for (auto& [applId, listener] : m_listeners)
            if (!BusyLocked(applId) && now >= listener.NextOffer)
                Offer(applId, listener);
        std::vector<TLiveCall> ended;
        for (TLiveCall& call : m_calls) {
            if (now < call.Due)
                continue;
            if (call.State == TLiveCall::TState::Released)
                ended.push_back(call);
            else if (const TLiveCallHook hook = TimeUp(call))
                hooks.emplace_back(hook, call);
        }
        for (const TLiveCall& call : ended)
            EndCallLocked(call);
        if (!hooks.empty()) {
            guard.unlock();
            for (const auto& [hook, call] : hooks)
                RunHook(hook, call);
            guard.lock();
            continue;
        }
        auto next = TClock::time_point::max();
        for (const auto& [applId, listener] : m_listeners)
            if (!BusyLocked(applId))
                next = std::min(next, listener.NextOffer);
        for (const TLiveCall& call : m_calls)
            next = std::min(next, call.Due);
        if (next == TClock::time_point::max())
            m_wake.wait(guard);
        else
            m_wake.wait_until(guard, next);
    }
}

} // namespace vsim
