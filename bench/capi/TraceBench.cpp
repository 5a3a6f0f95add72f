// The live D-channel trace end to end: the simulated controller plays its
// basic-rate demo without pauses as AVM trace indications; each frame goes
// through the receive thread, queue, hand-over and dispatcher to the trace
// handler, becomes a trace line for OnL3Trace and is answered with
// MANUFACTURER_RESP. Frames per second from driver to OnL3Trace, with every
// indication answered and none lost.
// Goal: at least 50 000 frames per second.

#include "SimSteering.h"
#include "TFCapi20.h"
#include "TraceSteering.h"

#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr uint64_t kBatch = 5000;

VsimTraceCounts Counts()
{
    VsimTraceCounts counts = {};
    VsimTraceGetCounts(0, &counts);
    return counts;
}

// Sleeps in the event loop between hand-overs, as an application does, so
// the main thread leaves the cores to the receive thread and the card.
void PumpUntil(uint64_t& lines, uint64_t target)
{
    while (lines < target)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// withCalls: also derive the call events (a host that follows calls).
void RunTrace(benchmark::State& state, bool withCalls)
{
    unsetenv("VESSIK_SIM_SCENARIO"); // the built-in demo
    VsimReset();
    VsimTraceReset();
    VsimSetPutLogLimit(0); // the card's record of puts is not part of the path
    VsimTraceSetLooping(1);
    VsimTraceSetPaced(0);
    VsimTraceSetWindow(uint32_t(state.range(0)));

    TCapi20 capi;
    uint64_t lines = 0;
    uint64_t events = 0;
    size_t characters = 0;
    capi.OnL3Trace = [&](uint32_t, const QString& line) {
        ++lines;
        characters += size_t(line.size());
    };
    if (withCalls)
        capi.OnL3TraceCall = [&](uint32_t, uint16_t, const QString&) { ++events; };
    // Every frame becomes a line, so lines count frames.
    capi.SetL2Display(true);
    if (!capi.OpenDevice(QStringLiteral(VESSIK_SIM_LIBRARY))) {
        state.SkipWithError("simulated controller did not open");
        return;
    }
    capi.StartTrace();
    PumpUntil(lines, kBatch); // queues and pools grow to their working size

    const uint64_t before = lines;
    for (auto _ : state)
        PumpUntil(lines, lines + kBatch);
    const uint64_t frames = lines - before;

    capi.StopTrace();
    // What the card sent before the trace went off still arrives and is answered.
    QTimer wake; // the answers may all be in before the loop looks
    wake.start(5);
    while (Counts().Unanswered != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake.stop();
    const VsimTraceCounts counts = Counts();
    capi.CloseDevice();

    state.SetItemsProcessed(int64_t(frames));
    state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["sent"] = double(counts.Sent);
    state.counters["lost"] = double(counts.Sent - lines);
    state.counters["unanswered"] = double(counts.Sent - counts.Answered);
    state.counters["wrong_number"] = double(counts.Wrong);
    if (withCalls)
        state.counters["events_per_frame"] = lines == 0 ? 0.0 : double(events) / double(lines);
    benchmark::DoNotOptimize(characters);
    if (counts.Sent != lines || counts.Answered != counts.Sent || counts.Wrong != 0)
        state.SkipWithError("frames were lost or left unanswered");
    state.SetLabel("goal: >= 50000 frames/s, none lost, all answered");
}

// As the main window traces: the line only. The argument is the card's
// window of indications that may wait for their answer.
void BM_TraceToL3Trace(benchmark::State& state)
{
    RunTrace(state, false);
}
BENCHMARK(BM_TraceToL3Trace)->Arg(64)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// With the call events derived from every Q.931 frame as well.
void BM_TraceWithCallEvents(benchmark::State& state)
{
    RunTrace(state, true);
}
BENCHMARK(BM_TraceWithCallEvents)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);

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
