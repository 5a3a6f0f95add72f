#pragma once
// Scripted replay: a scenario with CAPI messages plays once per application,
// from its registration on. Messages are delivered as they stand (only the
// ApplID is the application's); frames go through the D-channel trace and
// wait until the application has switched it on.

#include "TraceScenario.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace vsim {

class TScriptPlayer {
public:
    static TScriptPlayer& Instance();
    ~TScriptPlayer();

    void Registered(uint32_t applId);
    void Released(uint32_t applId);
    // Stops every replay.
    void Reset();
    // 1 while the application's (0 = the newest) script is playing.
    bool Playing(uint32_t applId);

private:
    struct TReplay {
        uint32_t ApplId = 0;
        std::shared_ptr<const TTraceScenario> Scenario;
        bool Paced = true;
        std::thread Thread;
        std::mutex Lock;
        std::condition_variable Wake;
        bool Stop = false;
        bool Finished = false;
    };

    TScriptPlayer() = default;
    static void Play(TReplay* replay);
    // Waits ms or until stopped; false when stopped.
    static bool Pause(TReplay& replay, uint32_t ms);
    static void StopReplay(TReplay& replay);

    std::mutex m_lock;
    std::map<uint32_t, std::shared_ptr<TReplay>> m_replays;
};

} // namespace vsim
