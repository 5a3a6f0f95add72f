#include "CallRecorder.h"

#include "ALaw.h"

#include <algorithm>

void TCallRecorder::Start(uint32_t plciOrNcci, size_t maxSamples)
{
    std::lock_guard<std::mutex> guard(m_lock);
    TTrack& track = m_tracks[Index(plciOrNcci)];
    track.Recording = true;
    track.Room = maxSamples;
    track.Pending.clear();
}

void TCallRecorder::Add(uint32_t plciOrNcci, const uint8_t* octets, size_t count)
{
    std::lock_guard<std::mutex> guard(m_lock);
    TTrack& track = m_tracks[Index(plciOrNcci)];
    if (!track.Recording)
        return;
    count = std::min(count, track.Room);
    const size_t at = track.Pending.size();
    track.Pending.resize(at + count);
    valaw::Decode(octets, count, track.Pending.data() + at);
    track.Room -= count;
}

void TCallRecorder::Take(uint32_t plciOrNcci, std::vector<int16_t>& samples)
{
    samples.clear();
    std::lock_guard<std::mutex> guard(m_lock);
    samples.swap(m_tracks[Index(plciOrNcci)].Pending);
}

bool TCallRecorder::Full(uint32_t plciOrNcci)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const TTrack& track = m_tracks[Index(plciOrNcci)];
    return track.Recording && track.Room == 0;
}

void TCallRecorder::Stop(uint32_t plciOrNcci)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_tracks[Index(plciOrNcci)].Recording = false;
}
