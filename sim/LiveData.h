#pragma once
// B-channel data of the live demo calls. Once a call's B3 connection is up the
// card sends DATA_B3_IND blocks in the 64-bit form, paced as a 64 kbit/s
// channel, from an audio file or a spoken-like test signal; it confirms each
// DATA_B3_REQ after the time its block takes on the line, copies the octets
// it receives to a file when one is named, and counts lost, duplicate and
// out-of-order data handles.
//
// Environment, read when a call's B3 connection comes up:
//   VESSIK_SIM_AUDIO       audio file (any format libsndfile reads) to send instead of the test signal
//   VESSIK_SIM_RECORD      file the received octets of every call are appended to
//   VESSIK_SIM_BLOCK       octets per block (160; 1 to 2048)
//   VESSIK_SIM_DATA_FAST=1 no pacing: the next block as soon as the last is answered, confirmations at once
//   VESSIK_SIM_STATS=1     a line per call on standard error with the block and handle counts

#include "LiveCalls.h"
#include "SimSteering.h"

#include <cstdint>
#include <memory>

namespace vsim {

// What one call's data stream saw; also what VESSIK_SIM_STATS prints.
struct TDataStats {
    uint64_t BlocksSent = 0;     // DATA_B3_IND
    uint64_t BlocksReceived = 0; // DATA_B3_REQ
    uint64_t OctetsReceived = 0;
    uint64_t Lost = 0;           // indications never answered, and confirmations never asked for
    uint64_t Duplicate = 0;      // a handle answered twice, or sent again while in flight
    uint64_t OutOfOrder = 0;     // a response before an older one still due
};

class TLiveData {
public:
    static TLiveData& Instance();
    ~TLiveData();

    // Hooks of the live calls.
    static void B3Active(const TLiveCall& call);
    static void B3Cleared(const TLiveCall& call);
    static bool Request(uint32_t applId, const TLiveCall* call, const uint8_t* message, uint32_t length);

    // An application released: its streams end.
    void Released(uint32_t applId);
    void Reset();
    // The totals of the calls ended since the last reset.
    TDataStats Totals();

private:
    struct TStream;
    TLiveData();
    void Run();
    void Start(const TLiveCall& call);
    void Stop(const TLiveCall& call);
    void EndStreamLocked(size_t index);
    bool Handle(uint32_t applId, const uint8_t* message, uint32_t length);
    void SendBlock(TStream& stream);

    struct TState;
    std::unique_ptr<TState> m_state;
};

} // namespace vsim

extern "C" {
// The handle and block counts of the calls ended since the last reset, in the
// order of TDataStats.
VSIM_EXPORT void VsimDataTotals(uint64_t totals[6]);
}
