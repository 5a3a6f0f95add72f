#include "TracePlayer.h"

#include "CardHooks.h"
#include "SimController.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vsim {

namespace {

constexpr uint8_t kManufacturer = 0xFF;
constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kIndication = 0x82;
constexpr uint8_t kResponse = 0x83;
constexpr uint8_t kManuAvm[4] = {0x41, 0x56, 0x4D, 0x21};    // 'AVM!'
constexpr uint8_t kManuKorvan[4] = {0x4B, 0x4F, 0x52, 0x56}; // 'KORV'
constexpr uint32_t kTracedController = 1;
constexpr uint16_t kKindSent = 0x0102;
constexpr uint16_t kKindReceived = 0x0101;
constexpr uint8_t kKorvanTraceKind = 14;
constexpr uint32_t kMaxWindow = 4096; // far below the 16-bit message numbers

// AVM request: controller, id, class, function, length byte, four data bytes.
constexpr uint32_t kAvmRequestLength = 8 + 4 + 4 + 4 + 4 + 1 + 4;
// KORVAN request: controller, id, two bytes (00 01 on, 00 00 off).
constexpr uint32_t kKorvanRequestLength = 8 + 4 + 4 + 2;

struct TMessageName {
    uint8_t Type;
    const char* Name;
};
// What the KORVAN form's head line names; the card knows its own traffic.
constexpr TMessageName kMessageNames[] = {
    {0x01, "ALERTING"},         {0x02, "CALL PROCEEDING"}, {0x03, "PROGRESS"},
    {0x05, "SETUP"},            {0x07, "CONNECT"},         {0x0D, "SETUP ACKNOWLEDGE"},
    {0x0F, "CONNECT ACKNOWLEDGE"}, {0x45, "DISCONNECT"},   {0x4D, "RELEASE"},
    {0x5A, "RELEASE COMPLETE"}, {0x62, "FACILITY"},        {0x6E, "NOTIFY"},
    {0x7B, "INFORMATION"},
};

uint32_t Dword(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void AddWord(std::vector<uint8_t>& message, uint16_t value)
{
    message.push_back(uint8_t(value));
    message.push_back(uint8_t(value >> 8));
}

void AddDword(std::vector<uint8_t>& message, uint32_t value)
{
    AddWord(message, uint16_t(value));
    AddWord(message, uint16_t(value >> 16));
}

std::string KorvanHead(const std::vector<uint8_t>& frame)
{
    // Layer-2 header: 3 octets for U frames, else 4.
    if (frame.size() < 3)
        return "Q.921";
    const size_t header = (frame[2] & 3) == 3 ? 3 : 4;
    if (frame.size() <= header)
        return "Q.921";
    if (frame[header] == 0x0F)
        return "TEI management";
    if (frame[header] != 0x08)
        return "Q.921";
    const size_t crLength = header + 1 < frame.size() ? (frame[header + 1] & 0x0F) : 0;
    const size_t typeAt = header + 2 + crLength;
    if (typeAt >= frame.size())
        return "Q.931";
    for (const TMessageName& name : kMessageNames)
        if (name.Type == frame[typeAt])
            return std::string("Q.931 ") + name.Name;
    return "Q.931";
}

std::string HexText(const std::vector<uint8_t>& frame)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(frame.size() * 3);
    for (uint8_t octet : frame) {
        text.push_back(kDigits[octet >> 4]);
        text.push_back(kDigits[octet & 15]);
        text.push_back(' ');
    }
    return text;
}

bool StatsWanted()
{
    const char* value = std::getenv("VESSIK_SIM_STATS");
    return value != nullptr && std::strcmp(value, "1") == 0;
}


} // namespace

TTracePlayer& TTracePlayer::Instance()
{
    static TTracePlayer player;
    return player;
}

TTracePlayer::TTracePlayer()
{
    TSimController::Instance(); // outlives the player, whose threads deliver to it
}

TTracePlayer::~TTracePlayer()
{
    Reset();
}

void TTracePlayer::ManufacturerMessage(uint32_t applId, const uint8_t* message, uint32_t length)
{
    if (length < 12 || message[4] != kManufacturer)
        return;
    const uint16_t number = uint16_t(message[6] | (message[7] << 8));
    if (message[5] == kResponse) {
        Answer(applId, number);
        return;
    }
    if (message[5] != kRequest)
        return;
    // Controller numbers carry the external-equipment flag in bit 7.
    if ((Dword(message + 8) & 0x7F) != kTracedController)
        return;
    const uint8_t* id = message + 12;
    if (std::memcmp(id, kManuAvm, 4) == 0 && length >= kAvmRequestLength) {
        if (Dword(message + 16) != 0 || Dword(message + 20) != 1)
            return; // another AVM function
        if (Dword(message + 25) != 0)
            Start(applId, TForm::Avm);
        else
            Stop(applId);
    } else if (std::memcmp(id, kManuKorvan, 4) == 0 && length == kKorvanRequestLength) {
        if (message[17] != 0)
            Start(applId, TForm::Korvan);
        else
            Stop(applId);
    }
}

std::shared_ptr<const TTraceScenario> TTracePlayer::LoadScenario(bool& looping, bool forScript)
{
    std::optional<std::string> text;
    std::string origin;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        text = m_scenarioText;
        looping = m_looping == 1;
    }
    bool demo = false;
    if (text) {
        origin = "steered scenario";
    } else if (const char* path = std::getenv("VESSIK_SIM_SCENARIO"); path != nullptr && *path != 0) {
        origin = path;
        std::string error;
        text.emplace();
        if (!ReadScenarioFile(path, *text, error)) {
            if (forScript) // the registration comes first: said once
                std::fprintf(stderr, "vessik-sim: cannot read the scenario %s: %s\n", path, error.c_str());
            text->clear();
        }
    } else {
        // A scripted card plays no demo of its own.
        demo = !TSimController::Instance().Scripted();
        text = std::string(demo ? DemoScenario() : std::string_view());
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_looping < 0)
            looping = demo;
    }
    auto scenario = std::make_shared<TTraceScenario>(ParseScenario(*text));
    if (forScript != IsScript(*scenario))
        return scenario; // the other player reports them
    for (const std::string& error : scenario->Errors)
        std::fprintf(stderr, "vessik-sim: %s: %s\n", origin.c_str(), error.c_str());
    bool hasFrame = false;
    for (const TTraceStep& step : scenario->Steps)
        hasFrame = hasFrame || !step.IsWait;
    if (!hasFrame)
        looping = false; // a loop of pauses only would never deliver anything
    return scenario;
}

void TTracePlayer::Start(uint32_t applId, TForm form)
{
    std::shared_ptr<TSession> previous = Find(applId);
    if (previous) {
        std::unique_lock<std::mutex> guard(previous->Lock);
        if (previous->Running && !previous->Stop && previous->Form == form)
            return; // already tracing: a second request changes nothing
    }
    auto session = std::make_shared<TSession>();
    session->ApplId = applId;
    session->Form = form;
    session->Scenario = LoadScenario(session->Looping);
    session->Idle = IsScript(*session->Scenario);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        session->Paced = m_paced;
        session->Window = m_window;
    }
    if (previous) {
        // Counts go on across trace off and on; the numbers too.
        StopSession(*previous);
        std::lock_guard<std::mutex> guard(previous->Lock);
        session->Counts = previous->Counts;
        session->Open = previous->Open;
        session->NextNumber = previous->NextNumber;
    }
    session->Running = true;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sessions[applId] = session;
    }
    session->Thread = std::thread(&TTracePlayer::Play, session.get());
}

void TTracePlayer::StopSession(TSession& session)
{
    {
        std::lock_guard<std::mutex> guard(session.Lock);
        session.Stop = true;
    }
    session.Wake.notify_all();
    if (session.Thread.joinable() && session.Thread.get_id() != std::this_thread::get_id())
        session.Thread.join();
}

void TTracePlayer::Stop(uint32_t applId)
{
    if (std::shared_ptr<TSession> session = Find(applId))
        StopSession(*session);
}

void TTracePlayer::Released(uint32_t applId)
{
    std::shared_ptr<TSession> session;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_sessions.find(applId);
        if (it != m_sessions.end()) {
            session = it->second;
            m_sessions.erase(it);
        }
    }
    VsimTraceCounts counts = {}; // an application that never traced was sent nothing
    if (session) {
        StopSession(*session);
        counts = Snapshot(*session);
        std::lock_guard<std::mutex> guard(m_lock);
        m_lastReleased = counts;
    }
    if (StatsWanted())
        std::fprintf(stderr,
                     "vessik-sim: application %u: %llu indications sent, %llu answered, %llu unanswered, "
                     "%llu answered with a wrong message number\n",
                     unsigned(applId), static_cast<unsigned long long>(counts.Sent),
                     static_cast<unsigned long long>(counts.Answered),
                     static_cast<unsigned long long>(counts.Unanswered),
                     static_cast<unsigned long long>(counts.Wrong));
}

void TTracePlayer::Answer(uint32_t applId, uint16_t messageNumber)
{
    std::shared_ptr<TSession> session = Find(applId);
    if (!session)
        return;
    {
        std::lock_guard<std::mutex> guard(session->Lock);
        // Answers come in order as a rule: the oldest open number first.
        auto it = session->Open.begin();
        if (it == session->Open.end() || *it != messageNumber)
            it = std::find(session->Open.begin(), session->Open.end(), messageNumber);
        if (it == session->Open.end()) {
            ++session->Counts.Wrong;
            return;
        }
        session->Open.erase(it);
        ++session->Counts.Answered;
        // A full window is refilled once half of it is answered: waking the
        // player for every single answer would cost a thread switch per frame.
        if (!session->WaitingForAnswers || session->Open.size() > session->Window / 2)
            return;
        session->WaitingForAnswers = false;
    }
    session->Wake.notify_all();
}

void TTracePlayer::Play(TSession* session)
{
    const std::vector<TTraceStep>& steps = session->Scenario->Steps;
    size_t next = 0;
    std::unique_lock<std::mutex> guard(session->Lock);
    if (session->Idle) // the script delivers the frames through DeliverFrame
        session->Wake.wait(guard, [session] { return session->Stop; });
    while (!session->Stop) {
        if (next == steps.size()) {
            if (!session->Looping || steps.empty())
                break;
            next = 0;
        }
        const TTraceStep& step = steps[next++];
        if (step.IsMessage)
            continue;
        if (step.IsWait) {
            if (session->Paced)
                session->Wake.wait_for(guard, std::chrono::milliseconds(step.WaitMs),
                                       [session] { return session->Stop; });
            continue;
        }
        if (session->Open.size() >= session->Window) {
            session->WaitingForAnswers = true;
            session->Wake.wait(guard, [session] {
                return session->Stop || session->Open.size() <= session->Window / 2;
            });
            session->WaitingForAnswers = false;
        }
        if (session->Stop)
            break;
        if (!Deliver(*session, step))
            break; // the application is gone
    }
    session->Running = false;
}

bool TTracePlayer::Deliver(TSession& session, const TTraceStep& step)
{
    // Called with the session's lock held; the card's lock is taken inside
    // Deliver only, never the other way round.
    thread_local std::vector<uint8_t> message;
    message.clear();
    const uint16_t number = session.NextNumber++;
    const uint8_t header[8] = {0, 0, 0, 0, kManufacturer, kIndication, uint8_t(number), uint8_t(number >> 8)};
    message.insert(message.end(), header, header + 8);
    AddDword(message, kTracedController);
    if (session.Form == TForm::Avm) {
        message.insert(message.end(), kManuAvm, kManuAvm + 4);
        AddDword(message, 0); // class
        AddDword(message, 1); // function
        message.push_back(uint8_t(std::min<size_t>(255, step.Frame.size() + 2)));
        AddWord(message, step.Sent ? kKindSent : kKindReceived);
        message.insert(message.end(), step.Frame.begin(), step.Frame.end());
    } else {
        message.insert(message.end(), kManuKorvan, kManuKorvan + 4);
        message.push_back(kKorvanTraceKind);
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm local = {};
        localtime_r(&seconds, &local);
        AddWord(message, uint16_t(local.tm_year + 1900));
        AddWord(message, uint16_t(local.tm_mon + 1));
        AddWord(message, uint16_t(local.tm_mday));
        AddWord(message, uint16_t(local.tm_hour));
        AddWord(message, uint16_t(local.tm_min));
        AddWord(message, uint16_t(local.tm_sec));
        AddWord(message, uint16_t(ms));
        message.push_back(step.Sent ? 1 : 0);
        const std::string head = KorvanHead(step.Frame);
        message.push_back(uint8_t(head.size()));
        message.insert(message.end(), head.begin(), head.end());
        const std::string body = HexText(step.Frame);
        message.insert(message.end(), body.begin(), body.end());
    }
    message[0] = uint8_t(message.size());
    message[1] = uint8_t(message.size() >> 8);
    session.Open.push_back(number); // before delivery: the answer may come at once
    ++session.Counts.Sent;
    if (TSimController::Instance().Deliver(session.ApplId, message.data(), uint32_t(message.size())) != kNoError) {
        session.Open.pop_back();
        --session.Counts.Sent;
        return false;
    }
    return true;
}

TTracePlayer::TFrameResult TTracePlayer::DeliverFrame(uint32_t applId, const TTraceStep& step)
{
    std::shared_ptr<TSession> session = Find(applId);
    if (!session)
        return TFrameResult::NotTracing;
    std::lock_guard<std::mutex> guard(session->Lock);
    if (!session->Running || session->Stop)
        return TFrameResult::NotTracing;
    return Deliver(*session, step) ? TFrameResult::Delivered : TFrameResult::Gone;
}

bool TTracePlayer::HasScenario()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_scenarioText)
            return true;
    }
    const char* path = std::getenv("VESSIK_SIM_SCENARIO");
    return path != nullptr && *path != 0;
}

bool TTracePlayer::Paced()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_paced;
}

std::shared_ptr<TTracePlayer::TSession> TTracePlayer::Find(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_sessions.find(applId);
    return it == m_sessions.end() ? nullptr : it->second;
}

VsimTraceCounts TTracePlayer::Snapshot(TSession& session)
{
    std::lock_guard<std::mutex> guard(session.Lock);
    VsimTraceCounts counts = session.Counts;
    counts.Unanswered = session.Open.size();
    return counts;
}

uint32_t TTracePlayer::SetScenario(const char* text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (text == nullptr) {
        m_scenarioText.reset();
        return 0;
    }
    m_scenarioText = text;
    return uint32_t(ParseScenario(text).Errors.size());
}

void TTracePlayer::SetLooping(int looping)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_looping = looping < 0 ? -1 : looping > 0 ? 1 : 0;
}

void TTracePlayer::SetPaced(bool paced)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_paced = paced;
}

void TTracePlayer::SetWindow(uint32_t window)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_window = std::clamp<uint32_t>(window, 1, kMaxWindow);
}

bool TTracePlayer::Active(uint32_t applId)
{
    std::shared_ptr<TSession> session = Find(applId == 0 ? TSimController::Instance().NewestApplication() : applId);
    if (!session)
        return false;
    std::lock_guard<std::mutex> guard(session->Lock);
    return session->Running && !session->Stop;
}

VsimTraceCounts TTracePlayer::Counts(uint32_t applId)
{
    std::shared_ptr<TSession> session = Find(applId == 0 ? TSimController::Instance().NewestApplication() : applId);
    if (session)
        return Snapshot(*session);
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastReleased;
}

void TTracePlayer::Reset()
{
    std::map<uint32_t, std::shared_ptr<TSession>> sessions;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        sessions.swap(m_sessions);
        m_scenarioText.reset();
        m_looping = -1;
        m_paced = true;
        m_window = 64;
        m_lastReleased = {};
    }
    for (auto& entry : sessions)
        StopSession(*entry.second);
}

} // namespace vsim

extern "C" {

uint32_t VsimTraceSetScenario(const char* text) { return vsim::TTracePlayer::Instance().SetScenario(text); }
void VsimTraceSetLooping(int looping) { vsim::TTracePlayer::Instance().SetLooping(looping); }
void VsimTraceSetPaced(int paced) { vsim::TTracePlayer::Instance().SetPaced(paced != 0); }
void VsimTraceSetWindow(uint32_t window) { vsim::TTracePlayer::Instance().SetWindow(window); }
int VsimTraceActive(uint32_t applId) { return vsim::TTracePlayer::Instance().Active(applId) ? 1 : 0; }

void VsimTraceGetCounts(uint32_t applId, VsimTraceCounts* counts)
{
    if (counts != nullptr)
        *counts = vsim::TTracePlayer::Instance().Counts(applId);
}

void VsimTraceReset(void)
{
    vsim::ResetExtensions();
    vsim::InstallHooks(); // a test may have put its own hook in place
}

} // extern "C"
