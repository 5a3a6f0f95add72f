// The receive path on the simulated controller: messages per second from the
// driver to the handler through pool, queue and hand-over, and heap
// allocations per message once the pools have grown.
// Goal: at least 100 000 messages per second and 0 allocations per message.

#include "AllocationCount.h"
#include "SimSteering.h"
#include "TFCapi20.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <vector>


namespace {

// An AVM D-channel trace indication carrying a short Q.931 SETUP.
std::vector<uint8_t> TraceIndication()
{
    const uint8_t parameters[] = {0x01, 0x00, 0x00, 0x00, 'A',  'V',  'M',  '!',  0x00, 0x00, 0x00, 0x00,
                                  0x01, 0x00, 0x00, 0x00, 0x0A, 0x02, 0x01, 0x02, 0x01, 0x00, 0x00, 0x08,
                                  0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3};
    std::vector<uint8_t> message(8 + sizeof parameters);
    message[0] = uint8_t(message.size());
    message[4] = 0xFF;
    message[5] = 0x82;
    for (size_t i = 0; i < sizeof parameters; ++i)
        message[8 + i] = parameters[i];
    return message;
}

// The main thread sleeps in its event loop until the hand-over wakes it, as
// the window's does; spinning here would only take the core from the
// receive thread.
void PumpUntilRouted(TCapi20& capi, uint64_t target)
{
    while (capi.RoutedMessages() < target)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void RunReceivePath(benchmark::State& state, const std::vector<uint8_t>& message, int batch)
{
    VsimReset();
    VsimSetPutLogLimit(0); // the card's record of responses is not part of the path
    TCapi20 capi;
    if (!capi.OpenDevice(QStringLiteral(VESSIK_SIM_LIBRARY))) {
        state.SkipWithError("simulated controller did not open");
        return;
    }
    auto injectBatch = [&] {
        for (int i = 0; i < batch; ++i)
            VsimInject(0, message.data(), uint32_t(message.size()));
    };
    // Let queues and pools grow to their working size first.
    for (int round = 0; round < 50; ++round) {
        injectBatch();
        PumpUntilRouted(capi, capi.RoutedMessages() + uint64_t(batch));
    }
    const uint64_t allocationsBefore = AllocationCount();
    const uint64_t routedBefore = capi.RoutedMessages();
    for (auto _ : state) {
        injectBatch();
        PumpUntilRouted(capi, capi.RoutedMessages() + uint64_t(batch));
    }
    const uint64_t messages = capi.RoutedMessages() - routedBefore;
    const uint64_t allocations = AllocationCount() - allocationsBefore;
    state.SetItemsProcessed(int64_t(messages));
    state.counters["msgs_per_s"] = benchmark::Counter(double(messages), benchmark::Counter::kIsRate);
    state.counters["allocs_per_msg"] = messages == 0 ? 0.0 : double(allocations) / double(messages);
    state.SetLabel("goal: >= 100000 msgs/s, 0 allocs/msg");
    capi.CloseDevice();
}

// A Listen Confirm: its handler is part of the dispatcher, so this measures
// pool, queue, hand-over and routing alone.
std::vector<uint8_t> ListenConfirm()
{
    std::vector<uint8_t> message = {14, 0, 0, 0, 0x05, 0x81, 1, 0, 1, 0, 0, 0, 0, 0};
    return message;
}

// One message at a time: every message takes the full hand-over to the main thread.
void BM_ReceivePathSingle(benchmark::State& state)
{
    RunReceivePath(state, ListenConfirm(), 1);
}
BENCHMARK(BM_ReceivePathSingle)->UseRealTime();

// Bursts as a busy D-channel delivers them.
void BM_ReceivePathBurst(benchmark::State& state)
{
    RunReceivePath(state, ListenConfirm(), int(state.range(0)));
}
BENCHMARK(BM_ReceivePathBurst)->Arg(32)->Arg(1000)->UseRealTime();

// The road of one traced frame: the same path ending in the trace handler,
// which answers every indication (no trace event assigned).
void BM_TraceIndicationPath(benchmark::State& state)
{
    RunReceivePath(state, TraceIndication(), int(state.range(0)));
}
BENCHMARK(BM_TraceIndicationPath)->Arg(1)->Arg(32)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
