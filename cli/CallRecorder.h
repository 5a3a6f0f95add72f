#pragma once
// TCallRecorder: the voice the callers of answered calls send, kept per call
// between the receive thread, where OnData hands over the line octets, and
// the main thread, which writes the samples to the call's file. One lock
// guards every call's track; each side holds it only to append or to swap.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TCallRecorder {
public:
    // Starts keeping what arrives for the call (a PLCI or NCCI), at most
    // maxSamples samples in all.
    void Start(uint32_t plciOrNcci, size_t maxSamples);
    // B-channel octets of a call (bit-reversed A-law), decoded and kept while
    // the call records and has room; anything else is dropped.
    void Add(uint32_t plciOrNcci, const uint8_t* octets, size_t count);
    // The samples kept since the last take, swapped into samples (whose old
    // contents are dropped, its capacity reused for the next ones).
    void Take(uint32_t plciOrNcci, std::vector<int16_t>& samples);
    // True once the call has kept as many samples as it may.
    bool Full(uint32_t plciOrNcci);
    // Stops keeping; samples not taken yet stay for a last Take.
    void Stop(uint32_t plciOrNcci);

private:
    struct TTrack {
        bool Recording = false;
        size_t Room = 0; // samples it may still keep
        std::vector<int16_t> Pending;
    };
    static size_t Index(uint32_t plciOrNcci) { return (plciOrNcci >> 8) & 0xFF; }

    std::mutex m_lock;
    std::array<TTrack, 256> m_tracks;
};
