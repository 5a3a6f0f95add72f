#pragma once
// The D-channel trace of the simulated card: one player thread per tracing
// application delivers the scenario's frames as MANUFACTURER_IND and counts
// the MANUFACTURER_RESP answers by message number.

#include "TraceScenario.h"
#include "TraceSteering.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vsim {

class TTracePlayer {
public:
    enum class TForm { Avm, Korvan };

    static TTracePlayer& Instance();
    ~TTracePlayer();

    // Hooks of the card: every MANUFACTURER request or response an
    // application puts, and every release.
    void ManufacturerMessage(uint32_t applId, const uint8_t* message, uint32_t length);
    void Released(uint32_t applId);

    // A frame of a script: delivered at once when the application's trace
    // is on.
    enum class TFrameResult { Delivered, NotTracing, Gone };
    TFrameResult DeliverFrame(uint32_t applId, const TTraceStep& step);
    // The steered scenario, else VESSIK_SIM_SCENARIO, else the demo (none
    // when the card is scripted); looping tells whether it starts over.
    // Errors go to standard error once: those of a script and the file's
    // read error when the script player loads (forScript), the others when
    // a trace starts.
    std::shared_ptr<const TTraceScenario> LoadScenario(bool& looping, bool forScript = false);
    bool Paced();
    // True when a scenario (steered or VESSIK_SIM_SCENARIO) replaces the demo.
    bool HasScenario();

    // Steering.
    uint32_t SetScenario(const char* text);
    void SetLooping(int looping);
    void SetPaced(bool paced);
    void SetWindow(uint32_t window);
    bool Active(uint32_t applId);
    VsimTraceCounts Counts(uint32_t applId);
    void Reset();

private:
    struct TSession {
        uint32_t ApplId = 0;
        TForm Form = TForm::Avm;
        std::shared_ptr<const TTraceScenario> Scenario;
        bool Looping = false;
        bool Paced = true;
        bool Idle = false; // plays nothing itself: a script runs the scenario
        uint32_t Window = 64;
        std::thread Thread;
        std::mutex Lock;
        std::condition_variable Wake;
        bool Stop = false;
        bool Running = false;
        bool WaitingForAnswers = false; // the window is full
        std::deque<uint16_t> Open; // message numbers waiting for an answer, oldest first
        uint16_t NextNumber = 0;
        VsimTraceCounts Counts = {};
    };

    TTracePlayer();
    void Start(uint32_t applId, TForm form);
    void Stop(uint32_t applId);
    static void StopSession(TSession& session);
    void Answer(uint32_t applId, uint16_t messageNumber);
    static void Play(TSession* session);
    static bool Deliver(TSession& session, const TTraceStep& step);
    std::shared_ptr<TSession> Find(uint32_t applId);
    static VsimTraceCounts Snapshot(TSession& session);

    std::mutex m_lock;
    std::map<uint32_t, std::shared_ptr<TSession>> m_sessions;
    std::optional<std::string> m_scenarioText; // set by steering
    int m_looping = -1;
    bool m_paced = true;
    uint32_t m_window = 64;
    VsimTraceCounts m_lastReleased = {};
};

} // namespace vsim
