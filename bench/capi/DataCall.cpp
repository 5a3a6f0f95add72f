#include "DataCall.h"

#include "AllocationCount.h"
#include "CapiMessageWriter.h"
#include "SimSteering.h"
#include "TFCapi20.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

void Put(TCapi20& capi, uint8_t command, uint8_t subcommand, std::initializer_list<uint32_t> dwords,
         int emptyStructs)
{
    TCapiMessageWriter writer;
    writer.Init(uint16_t(capi.ApplID()), command, subcommand, subcommand == 0x80 ? capi.NextMessageNumber() : 0);
    for (uint32_t value : dwords)
        writer.AddDword(value);
    for (int i = 0; i < emptyStructs; ++i)
        writer.AddEmptyStruct();
    capi.PutCapiMessage(capi.ApplID(), writer.Message());
}

void Settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Answers the first call the card offers up to an active B3 connection and
// returns its NCCI (the card numbers its calls on, whoever held them before).
// The component's own call handling is not part of what is measured.
uint32_t Answer(TCapi20& capi)
{
    std::atomic<uint32_t> offered{0};
    capi.OnConnect = [&](uint32_t plci, uint32_t) { offered.store(plci); };
    Put(capi, 0x05, 0x80, {1, 0, 0x00010012, 0}, 2); // LISTEN_REQ: telephony
    while (offered.load() == 0)
        Settle();
    capi.OnConnect = nullptr;
    const uint32_t kPlci = offered.load();
    const uint32_t kNcci = kPlci | 1u << 16;
    TCapiMessageWriter writer;
    writer.Init(uint16_t(capi.ApplID()), 0x02, 0x83, 0); // CONNECT_RESP: accept
    writer.AddDword(kPlci);
    writer.AddWord(0);
    writer.AddBProtocol(1, 1, 0);
    for (int i = 0; i < 5; ++i)
        writer.AddEmptyStruct();
    capi.PutCapiMessage(capi.ApplID(), writer.Message());
    Settle();
    Put(capi, 0x03, 0x83, {kPlci}, 0); // CONNECT_ACTIVE_RESP
    Settle();
    writer.Init(uint16_t(capi.ApplID()), 0x82, 0x83, 0); // CONNECT_B3_RESP: accept
    writer.AddDword(kNcci);
    writer.AddWord(0);
    writer.AddEmptyStruct();
    capi.PutCapiMessage(capi.ApplID(), writer.Message());
    Settle();
    return kNcci;
}

} // namespace

void RunDataBothWays(benchmark::State& state, const QString& driver)
{
    setenv("VESSIK_SIM_DATA_FAST", "1", 1);
    setenv("VESSIK_SIM_CALL_INTERVAL_MS", "1", 1);
    setenv("VESSIK_SIM_TALK_MS", "100000000", 1);
    setenv("VESSIK_SIM_RING_MS", "100000000", 1);
    unsetenv("VESSIK_SIM_SCENARIO");
    VsimReset();
    VsimSetPutLogLimit(0);
    TCapi20 capi;
    if (!capi.OpenDevice(driver)) {
        state.SkipWithError("the controller could not be opened");
        return;
    }
    std::atomic<uint64_t> received{0};
    capi.OnData = [&](uint32_t, const uint8_t*, uint16_t) { received.fetch_add(1, std::memory_order_relaxed); };
    const uint32_t kNcci = Answer(capi);
    uint8_t block[160] = {};
    static uint8_t audio[50 * 160] = {};
    // B3 comes up with this response: the indications start to flow.
    Put(capi, 0x83, 0x83, {kNcci}, 0); // CONNECT_B3_ACTIVE_RESP
    capi.DataB3Request(kNcci, block, false, false, 160); // the call's FIFO is made here
    Settle();

    uint64_t sent = 0;
    for (auto _ : state) {
        const uint64_t putsBefore = VsimCallCount(VsimPutMessage);
        const uint64_t receivedBefore = received.load();
        const uint64_t allocationsBefore = AllocationCount();
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
            // Keep the FIFO filled, 50 blocks at a time, as an application
            // would: it does not spin on the call table's lock.
            capi.DataB3Request(kNcci, audio, false, false, sizeof audio);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint64_t allocations = AllocationCount() - allocationsBefore;
        const uint64_t inBlocks = received.load() - receivedBefore;
        // Every put the card sees is a DATA_B3_REQ or the DATA_B3_RESP of an indication.
        const uint64_t outBlocks = (VsimCallCount(VsimPutMessage) - putsBefore) - inBlocks;
        sent += outBlocks;
        state.counters["sent_blocks_per_s"] = double(outBlocks) / seconds;
        state.counters["received_blocks_per_s"] = double(inBlocks) / seconds;
        state.counters["allocations_per_block"] =
            double(allocations) / double(std::max<uint64_t>(1, inBlocks + outBlocks));
        state.counters["allocations"] = double(allocations);
    }
    benchmark::DoNotOptimize(sent);
    capi.OnData = nullptr;
    capi.CloseDevice();
}
