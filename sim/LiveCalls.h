#pragma once
// The live demo's calls: without a scenario, the simulated card offers an
// incoming call from time to time to every application whose LISTEN_REQ
// covers its CIP value, and plays the call through as CAPI 2.0 and the
// application's answers imply (CONNECT_IND, CONNECT_ACTIVE_IND,
// CONNECT_B3_IND, CONNECT_B3_ACTIVE_IND, DISCONNECT_B3_IND, DISCONNECT_IND),
// with the matching Q.931 frames on the application's D-channel trace. A call
// not answered is cleared after its ringing time. Requests of a listening
// application (one whose LISTEN_REQ asked for some calls) are confirmed (info
// 0 where the call allows it); other applications get no answers.
//
// Environment, read when an application starts listening:
//   VESSIK_SIM_CALL_INTERVAL_MS  pause between calls (20000); the first comes
//                                after 2000 ms, or the interval when shorter
//   VESSIK_SIM_RING_MS           ringing time of an unanswered call (8000)
//   VESSIK_SIM_TALK_MS           time an answered call lasts before the caller hangs up (10000)
//   VESSIK_SIM_LINES             calls one application may have at once (1, or 2 as on the two
//                                B channels of a basic-rate line); the next comes an interval
//                                after the last was offered
//
// Other behaviour plugs in through hooks (set them in CardHooks): B-channel
// data once a call's B3 connection is up, answers to FACILITY requests.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vsim {

// One offered call, as its messages so far imply.
struct TLiveCall {
    enum class TState {
        Ringing,     // CONNECT_IND sent
        Connecting,  // accepted; CONNECT_ACTIVE_IND sent
        B3Offered,   // CONNECT_B3_IND sent
        B3Starting,  // CONNECT_B3_ACTIVE_IND sent
        B3Active,    // CONNECT_B3_ACTIVE_RESP came: data may flow
        Connected,   // active without a B3 connection
        B3Clearing,  // DISCONNECT_B3_IND sent, the call stays
        Clearing,    // DISCONNECT_B3_IND sent, DISCONNECT_IND follows its response
        Released,    // DISCONNECT_IND sent, waiting for DISCONNECT_RESP
    };
    uint32_t ApplId = 0;
    uint32_t Plci = 0;
    uint32_t Ncci = 0; // valid from CONNECT_B3_IND (or CONNECT_B3_CONF) on
    uint16_t Cip = 0;
    std::string Calling;
    std::string Called;
    uint8_t BChannel = 1;
    uint8_t CallReference = 0;
    bool Alerted = false;
    uint16_t ClearReason = 0; // of the DISCONNECT_IND still to come
    TState State = TState::Ringing;
    std::chrono::steady_clock::time_point Due; // when the call's next step is taken by itself
};

// Called outside the live calls' lock with a copy of the call.
using TLiveCallHook = void (*)(const TLiveCall& call);
// A request of a listening application, and its call when it addresses one
// (null otherwise). Returns true when it answered the request itself, which
// replaces the default confirmation. Called under the live calls' lock:
// deliver with TSimController::Deliver, never call back into TLiveCalls.
using TLiveRequestHook = bool (*)(uint32_t applId, const TLiveCall* call, const uint8_t* message, uint32_t length);

class TLiveCalls {
public:
    static TLiveCalls& Instance();
    ~TLiveCalls();

    // Card hooks: every non-MANUFACTURER message an application puts, and
    // every release.
    void Request(uint32_t applId, const uint8_t* message, uint32_t length);
    void Released(uint32_t applId);
    void Reset();

    void SetB3ActiveHook(TLiveCallHook hook);
    void SetB3ClearedHook(TLiveCallHook hook);
    // One hook per command (FACILITY 0x80, DATA_B3 0x86, ...).
    void SetRequestHook(uint8_t command, TLiveRequestHook hook);

    // The message number of the card's next indication.
    uint16_t NextIndicationNumber();
    // Copies of the calls (of one application; 0 = all).
    std::vector<TLiveCall> Calls(uint32_t applId);

private:
    struct TListener {
        uint32_t CipMask = 0;
        std::chrono::steady_clock::time_point NextOffer;
    };
    struct TTimes {
        std::chrono::milliseconds Interval{20000};
        std::chrono::milliseconds Ring{8000};
        std::chrono::milliseconds Talk{10000};
        size_t Lines = 1;
    };
    using TClock = std::chrono::steady_clock;

    TLiveCalls() = default;
    void Run();
    void EnsureThreadLocked();
    // Each returns the hook to run once the lock is released, if any.
    void Listen(uint32_t applId, const uint8_t* message, uint32_t length);
    void Offer(uint32_t applId, TListener& listener);
    TLiveCallHook Answer(TLiveCall& call, const uint8_t* message, uint32_t length);
    TLiveCallHook Confirm(uint32_t applId, TLiveCall* call, const uint8_t* message, uint32_t length);
    TLiveCallHook TimeUp(TLiveCall& call);
    TLiveCallHook ClearB3(TLiveCall& call, uint16_t reason, TLiveCall::TState next);
    void Disconnect(TLiveCall& call, uint16_t reason);
    void Send(uint32_t applId, class TSimMessage& message);
    void Frame(const TLiveCall& call, bool sent, std::vector<uint8_t> frame);
    TLiveCall* FindLocked(uint32_t applId, uint32_t address);
    // True when the application has as many calls as it may have at once.
    bool BusyLocked(uint32_t applId) const;
    void EndCallLocked(const TLiveCall& call);
    void RunHook(TLiveCallHook hook, const TLiveCall& call);

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stop = false;
    TTimes m_times;
    std::map<uint32_t, TListener> m_listeners;
    std::vector<TLiveCall> m_calls;
    uint16_t m_nextNumber = 0;
    uint8_t m_nextPlci = 0;
    uint8_t m_nextCallReference = 0;
    uint32_t m_offered = 0;
    TLiveCallHook m_b3ActiveHook = nullptr;
    TLiveCallHook m_b3ClearedHook = nullptr;
    std::map<uint8_t, TLiveRequestHook> m_requestHooks;
};

} // namespace vsim
