#include "LiveData.h"

#include "ALaw.h"
#include "SimController.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace vsim {

namespace {

using TClock = std::chrono::steady_clock;

constexpr uint8_t kDataB3 = 0x86;
constexpr uint8_t kReq = 0x80;
constexpr uint8_t kConf = 0x81;
constexpr uint8_t kInd = 0x82;
constexpr uint8_t kResp = 0x83;
constexpr int kRate = 8000;
// At most this many indications wait for their response; each keeps its
// block until then, as the platform library does.
constexpr size_t kWindow = 7;
constexpr size_t kRing = 8;
constexpr uint16_t kMaxBlock = 2048;
constexpr uint32_t kHandleSlots = 7;

bool EnvFlag(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && std::string(value) == "1";
}

uint16_t Word(const uint8_t* bytes, uint32_t length, uint32_t at)
{
    return at + 2 <= length ? uint16_t(bytes[at] | bytes[at + 1] << 8) : 0;
}

uint32_t Dword(const uint8_t* bytes, uint32_t length, uint32_t at)
{
    return uint32_t(Word(bytes, length, at)) | uint32_t(Word(bytes, length, at + 2)) << 16;
}

uint64_t Qword(const uint8_t* bytes, uint32_t length, uint32_t at)
{
    return uint64_t(Dword(bytes, length, at)) | uint64_t(Dword(bytes, length, at + 4)) << 32;
}

// DATA_B3_IND (64-bit form) and DATA_B3_CONF, built without allocating:
// a block costs the card no heap memory.
struct TDataMessage {
    uint8_t Bytes[30] = {};
    uint32_t Length = 8;
    TDataMessage(uint8_t subcommand, uint16_t number)
    {
        Bytes[4] = kDataB3;
        Bytes[5] = subcommand;
        Put(6, number, 2);
    }
    TDataMessage& Add(uint64_t value, uint32_t width)
    {
        Put(Length, value, width);
        Length += width;
        Bytes[0] = uint8_t(Length);
        return *this;
    }
    void Put(uint32_t at, uint64_t value, uint32_t width)
    {
        for (uint32_t i = 0; i < width; ++i)
            Bytes[at + i] = uint8_t(value >> (8 * i));
    }
};

void Confirm(uint32_t applId, uint32_t ncci, uint16_t number, uint16_t handle)
{
    TDataMessage confirmation(kConf, number);
    confirmation.Add(ncci, 4).Add(handle, 2).Add(0, 2);
    TSimController::Instance().Deliver(applId, confirmation.Bytes, confirmation.Length);
}

// Four seconds of something like speech: a voiced tone whose pitch glides,
// two formants that move, and syllables with pauses between words.
std::vector<uint8_t> SpokenLikeSignal()
{
    constexpr double kPi = 3.14159265358979323846;
    std::vector<uint8_t> octets(size_t(4 * kRate));
    double phase = 0;
    for (size_t n = 0; n < octets.size(); ++n) {
        const double t = double(n) / kRate;
        const double syllable = std::max(0.0, std::sin(2 * kPi * 3.5 * t));
        const double word = std::fmod(t, 1.3) < 1.0 ? 1.0 : 0.0;
        const double envelope = syllable * syllable * word;
        const double pitch = 140 + 30 * std::sin(2 * kPi * 0.5 * t);
        const double f1 = 650 + 200 * std::sin(2 * kPi * 1.7 * t);
        const double f2 = 1300 + 450 * std::sin(2 * kPi * 1.1 * t + 1);
        phase += 2 * kPi * pitch / kRate;
        double sum = 0;
        for (int k = 1; k * pitch < 3400; ++k) {
            const double f = k * pitch;
            const double gain = std::exp(-std::pow((f - f1) / 160, 2)) + 0.6 * std::exp(-std::pow((f - f2) / 220, 2));
            sum += gain * std::sin(k * phase);
        }
        octets[n] = valaw::Encode(int16_t(std::clamp(9000 * envelope * sum, -32000.0, 32000.0)));
    }
    return octets;
}

// The file as A-law line octets at 8 kHz (channels mixed, the nearest sample
// taken for another rate); empty when it cannot be read.
std::vector<uint8_t> AudioFileOctets(const char* path)
{
    SF_INFO info = {};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<int16_t> frames(size_t(std::max<sf_count_t>(info.frames, 0)) * size_t(std::max(info.channels, 1)));
    const sf_count_t read = info.channels > 0 ? sf_readf_short(file, frames.data(), info.frames) : 0;
    sf_close(file);
    std::vector<uint8_t> octets;
    if (read <= 0 || info.samplerate <= 0)
        return octets;
    const double step = double(info.samplerate) / kRate;
    for (double at = 0; at < double(read); at += step) {
        const size_t frame = size_t(at);
        int sum = 0;
        for (int c = 0; c < info.channels; ++c)
            sum += frames[frame * size_t(info.channels) + size_t(c)];
        octets.push_back(valaw::Encode(int16_t(sum / info.channels)));
    }
    return octets;
}

std::vector<uint16_t> Reserved(size_t capacity)
{
    std::vector<uint16_t> handles;
    handles.reserve(capacity);
    return handles;
}

} // namespace

struct TLiveData::TStream {
    uint32_t ApplId = 0;
    uint32_t Plci = 0;
    uint32_t Ncci = 0;
    std::vector<uint8_t> Ring = std::vector<uint8_t>(kRing * kMaxBlock);
    std::vector<uint16_t> Outstanding = Reserved(kWindow); // indication handles, oldest first
    std::array<bool, kHandleSlots> RequestInFlight = {};
    uint16_t NextHandle = 0;
    size_t SourcePosition = 0;
    TClock::time_point NextBlock;
    TClock::time_point LineFree;
    TDataStats Stats;
    FILE* Record = nullptr;
};

struct TLiveData::TState {
    struct TConfirmation {
        TClock::time_point Due;
        uint32_t ApplId;
        uint32_t Ncci;
        uint16_t Number;
        uint16_t Handle;
    };
    std::mutex Lock;
    std::condition_variable Wake;
    std::thread Thread;
    bool Stop = false;
    std::vector<std::unique_ptr<TStream>> Streams;
    std::vector<TConfirmation> Confirmations;
    std::vector<uint8_t> Source;
    TDataStats Totals;
    bool Fast = false;
    uint16_t BlockSize = 160;
    uint16_t NextNumber = 0x4000;
};

TLiveData& TLiveData::Instance()
{
    static TLiveData data;
    return data;
}

TLiveData::TLiveData() : m_state(std::make_unique<TState>())
{
    m_state->Thread = std::thread([this] { Run(); });
}

TLiveData::~TLiveData()
{
    {
        std::lock_guard<std::mutex> guard(m_state->Lock);
        m_state->Stop = true;
    }
    m_state->Wake.notify_all();
    m_state->Thread.join();
    Reset();
}

void TLiveData::B3Active(const TLiveCall& call)
{
    Instance().Start(call);
}

void TLiveData::B3Cleared(const TLiveCall& call)
{
    Instance().Stop(call);
}

bool TLiveData::Request(uint32_t applId, const TLiveCall* call, const uint8_t* message, uint32_t length)
{
    return call != nullptr && Instance().Handle(applId, message, length);
}

void TLiveData::Reset()
{
    std::lock_guard<std::mutex> guard(m_state->Lock);
    for (auto& stream : m_state->Streams)
        if (stream->Record != nullptr)
            std::fclose(stream->Record);
    m_state->Streams.clear();
    m_state->Confirmations.clear();
    m_state->Totals = {};
}

TDataStats TLiveData::Totals()
{
    std::lock_guard<std::mutex> guard(m_state->Lock);
    return m_state->Totals;
}

void TLiveData::Start(const TLiveCall& call)
{
    auto stream = std::make_unique<TStream>();
    stream->ApplId = call.ApplId;
    stream->Plci = call.Plci;
    stream->Ncci = call.Ncci;
    stream->NextBlock = TClock::now();
    stream->LineFree = stream->NextBlock;
    if (const char* path = std::getenv("VESSIK_SIM_RECORD"); path != nullptr && *path != 0)
        stream->Record = std::fopen(path, "ab");
    std::lock_guard<std::mutex> guard(m_state->Lock);
    TState& state = *m_state;
    state.Fast = EnvFlag("VESSIK_SIM_DATA_FAST");
    const char* block = std::getenv("VESSIK_SIM_BLOCK");
    state.BlockSize = uint16_t(std::clamp(block != nullptr ? std::atoi(block) : 160, 1, int(kMaxBlock)));
    const char* audio = std::getenv("VESSIK_SIM_AUDIO");
    state.Source = audio != nullptr && *audio != 0 ? AudioFileOctets(audio) : std::vector<uint8_t>();
    if (state.Source.empty())
        state.Source = SpokenLikeSignal();
    state.Streams.push_back(std::move(stream));
    if (state.Fast)
        SendBlock(*state.Streams.back());
    state.Wake.notify_all();
}

void TLiveData::Stop(const TLiveCall& call)
{
    std::lock_guard<std::mutex> guard(m_state->Lock);
    auto& streams = m_state->Streams;
    for (size_t i = 0; i < streams.size(); ++i)
        if (streams[i]->ApplId == call.ApplId && streams[i]->Plci == call.Plci)
            return EndStreamLocked(i);
}

void TLiveData::Released(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_state->Lock);
    auto& streams = m_state->Streams;
    for (size_t i = streams.size(); i-- > 0;)
        if (streams[i]->ApplId == applId)
            EndStreamLocked(i);
}

void TLiveData::EndStreamLocked(size_t index)
{
    TState& state = *m_state;
    TStream& stream = *state.Streams[index];
    stream.Stats.Lost += stream.Outstanding.size();
    if (stream.Record != nullptr)
        std::fclose(stream.Record);
    if (EnvFlag("VESSIK_SIM_STATS"))
        std::fprintf(stderr,
                     "vessik-sim: call 0x%04X: %llu blocks sent, %llu received (%llu octets), handles: %llu lost, "
                     "%llu duplicate, %llu out of order\n",
                     stream.Plci, (unsigned long long)stream.Stats.BlocksSent,
                     (unsigned long long)stream.Stats.BlocksReceived, (unsigned long long)stream.Stats.OctetsReceived,
                     (unsigned long long)stream.Stats.Lost, (unsigned long long)stream.Stats.Duplicate,
                     (unsigned long long)stream.Stats.OutOfOrder);
    TDataStats& totals = state.Totals;
    totals.BlocksSent += stream.Stats.BlocksSent;
    totals.BlocksReceived += stream.Stats.BlocksReceived;
    totals.OctetsReceived += stream.Stats.OctetsReceived;
    totals.Lost += stream.Stats.Lost;
    totals.Duplicate += stream.Stats.Duplicate;
    totals.OutOfOrder += stream.Stats.OutOfOrder;
    const uint32_t applId = stream.ApplId;
    const uint32_t ncci = stream.Ncci;
    std::erase_if(state.Confirmations, [&](const TState::TConfirmation& c) {
        return c.ApplId == applId && c.Ncci == ncci;
    });
    state.Streams.erase(state.Streams.begin() + long(index));
}

// Called with the lock held.
void TLiveData::SendBlock(TStream& stream)
{
    TState& state = *m_state;
    if (stream.Outstanding.size() >= kWindow)
        return; // the application is behind: the line waits for it
    const uint16_t handle = stream.NextHandle++;
    uint8_t* block = stream.Ring.data() + (handle % kRing) * kMaxBlock;
    for (uint16_t i = 0; i < state.BlockSize; ++i) {
        block[i] = state.Source[stream.SourcePosition];
        stream.SourcePosition = (stream.SourcePosition + 1) % state.Source.size();
    }
    TDataMessage message(kInd, state.NextNumber++);
    message.Add(stream.Ncci, 4).Add(0, 4).Add(state.BlockSize, 2).Add(handle, 2).Add(0, 2);
    message.Add(reinterpret_cast<uintptr_t>(block), 8);
    if (TSimController::Instance().Deliver(stream.ApplId, message.Bytes, message.Length) != kNoError)
        return;
    stream.Outstanding.push_back(handle);
    ++stream.Stats.BlocksSent;
}

bool TLiveData::Handle(uint32_t applId, const uint8_t* message, uint32_t length)
{
    const uint8_t subcommand = message[5];
    const uint32_t ncci = Dword(message, length, 8);
    std::lock_guard<std::mutex> guard(m_state->Lock);
    TState& state = *m_state;
    auto found = std::find_if(state.Streams.begin(), state.Streams.end(), [&](const auto& stream) {
        return stream->ApplId == applId && stream->Ncci == ncci;
    });
    if (found == state.Streams.end())
        return false;
    TStream& stream = **found;
    if (subcommand == kResp) {
        const uint16_t handle = Word(message, length, 12);
        auto at = std::find(stream.Outstanding.begin(), stream.Outstanding.end(), handle);
        if (at == stream.Outstanding.end())
            ++stream.Stats.Duplicate;
        else if (at != stream.Outstanding.begin())
            ++stream.Stats.OutOfOrder;
        if (at != stream.Outstanding.end())
            stream.Outstanding.erase(at);
        if (state.Fast)
            SendBlock(stream);
        return true;
    }
    if (subcommand != kReq || length < 22)
        return false;
    const uint16_t size = Word(message, length, 16);
    const uint16_t handle = Word(message, length, 18);
    // The data is copied at once, as the platform library does: the block
    // may be reused as soon as the put returns.
    const auto* data = reinterpret_cast<const uint8_t*>(uintptr_t(length >= 30 ? Qword(message, length, 22) : 0));
    if (handle < kHandleSlots) {
        if (stream.RequestInFlight[handle])
            ++stream.Stats.Duplicate;
        stream.RequestInFlight[handle] = true;
    }
    ++stream.Stats.BlocksReceived;
    if (data != nullptr) {
        stream.Stats.OctetsReceived += size;
        if (stream.Record != nullptr)
            std::fwrite(data, 1, size, stream.Record);
    }
    const uint16_t number = Word(message, length, 6);
    if (state.Fast) {
        if (handle < kHandleSlots)
            stream.RequestInFlight[handle] = false;
        Confirm(applId, ncci, number, handle);
        return true;
    }
    // Blocks queue on the line: 8000 octets a second.
    stream.LineFree = std::max(stream.LineFree, TClock::now()) + std::chrono::microseconds(125 * size);
    state.Confirmations.push_back({stream.LineFree, applId, ncci, number, handle});
    state.Wake.notify_all();
    return true;
}

void TLiveData::Run()
{
    TState& state = *m_state;
    std::unique_lock<std::mutex> guard(state.Lock);
    const auto blockTime = [&] { return std::chrono::microseconds(125 * state.BlockSize); };
    while (!state.Stop) {
        const auto now = TClock::now();
        auto next = now + std::chrono::milliseconds(100);
        for (auto& stream : state.Streams) {
            if (state.Fast)
                continue;
            if (stream->NextBlock <= now) {
                SendBlock(*stream);
                stream->NextBlock += blockTime();
                if (stream->NextBlock < now)
                    stream->NextBlock = now + blockTime(); // fell behind: no burst to catch up
            }
            next = std::min(next, stream->NextBlock);
        }
        for (size_t i = 0; i < state.Confirmations.size();) {
            const TState::TConfirmation c = state.Confirmations[i];
            if (c.Due > now) {
                next = std::min(next, c.Due);
                ++i;
                continue;
            }
            state.Confirmations.erase(state.Confirmations.begin() + long(i));
            for (auto& stream : state.Streams)
                if (stream->ApplId == c.ApplId && stream->Ncci == c.Ncci && c.Handle < kHandleSlots)
                    stream->RequestInFlight[c.Handle] = false;
            Confirm(c.ApplId, c.Ncci, c.Number, c.Handle);
        }
        state.Wake.wait_until(guard, next);
    }
}

} // namespace vsim

void VsimDataTotals(uint64_t totals[6])
{
    const vsim::TDataStats stats = vsim::TLiveData::Instance().Totals();
    const uint64_t values[6] = {stats.BlocksSent, stats.BlocksReceived, stats.OctetsReceived,
                                stats.Lost,       stats.Duplicate,      stats.OutOfOrder};
    std::copy(values, values + 6, totals);
}
