#include "ScriptPlayer.h"

#include "SimController.h"
#include "TracePlayer.h"

#include <chrono>

namespace vsim {

namespace {
// How often a frame step looks whether the trace has been switched on.
constexpr uint32_t kTracePollMs = 5;
} // namespace

TScriptPlayer& TScriptPlayer::Instance()
{
    static TScriptPlayer player;
    return player;
}

TScriptPlayer::~TScriptPlayer()
{
    Reset();
}

void TScriptPlayer::Registered(uint32_t applId)
{
    auto replay = std::make_shared<TReplay>();
    bool looping = false;
    replay->Scenario = TTracePlayer::Instance().LoadScenario(looping, true);
    if (!IsScript(*replay->Scenario))
        return;
    replay->ApplId = applId;
    replay->Paced = TTracePlayer::Instance().Paced();
    std::shared_ptr<TReplay> previous;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::shared_ptr<TReplay>& slot = m_replays[applId];
        previous.swap(slot);
        slot = replay;
        replay->Thread = std::thread(&TScriptPlayer::Play, replay.get());
    }
    if (previous) // an id given out again after a reset of the card
        StopReplay(*previous);
}

void TScriptPlayer::Released(uint32_t applId)
{
    std::shared_ptr<TReplay> replay;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_replays.find(applId);
        if (it == m_replays.end())
            return;
        replay = it->second;
        m_replays.erase(it);
    }
    StopReplay(*replay);
}

void TScriptPlayer::Reset()
{
    std::map<uint32_t, std::shared_ptr<TReplay>> replays;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        replays.swap(m_replays);
    }
    for (auto& entry : replays)
        StopReplay(*entry.second);
}

bool TScriptPlayer::Playing(uint32_t applId)
{
    if (applId == 0)
        applId = TSimController::Instance().NewestApplication();
    std::shared_ptr<TReplay> replay;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_replays.find(applId);
        if (it == m_replays.end())
            return false;
        replay = it->second;
    }
    std::lock_guard<std::mutex> guard(replay->Lock);
    return !replay->Finished;
}

void TScriptPlayer::StopReplay(TReplay& replay)
{
    {
        std::lock_guard<std::mutex> guard(replay.Lock);
        replay.Stop = true;
    }
    replay.Wake.notify_all();
    if (replay.Thread.joinable() && replay.Thread.get_id() != std::this_thread::get_id())
        replay.Thread.join();
}

bool TScriptPlayer::Pause(TReplay& replay, uint32_t ms)
{
    std::unique_lock<std::mutex> guard(replay.Lock);
    replay.Wake.wait_for(guard, std::chrono::milliseconds(ms), [&replay] { return replay.Stop; });
    return !replay.Stop;
}

void TScriptPlayer::Play(TReplay* replay)
{
    // The card's and the trace's locks are taken outside the replay's own.
    for (const TTraceStep& step : replay->Scenario->Steps) {
        {
            std::lock_guard<std::mutex> guard(replay->Lock);
            if (replay->Stop)
                break;
        }
        if (step.IsWait) {
            if (replay->Paced && !Pause(*replay, step.WaitMs))
                break;
            continue;
        }
        if (step.IsMessage) {
            const uint32_t result = TSimController::Instance().DeliverAsItStands(
                replay->ApplId, step.Frame.data(), uint32_t(step.Frame.size()));
            if (result == kIllegalApplId)
                break; // the application is gone
            continue;
        }
        TTracePlayer::TFrameResult result;
        while ((result = TTracePlayer::Instance().DeliverFrame(replay->ApplId, step))
               == TTracePlayer::TFrameResult::NotTracing) {
            if (!TSimController::Instance().IsRegistered(replay->ApplId) || !Pause(*replay, kTracePollMs))
                break;
        }
        if (result != TTracePlayer::TFrameResult::Delivered)
            break;
    }
    std::lock_guard<std::mutex> guard(replay->Lock);
    replay->Finished = true;
}

} // namespace vsim
