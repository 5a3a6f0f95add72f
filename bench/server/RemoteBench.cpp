// The platform's CAPI library and TCP against the direct load, in one run: the
// simulated controller, served by a remote-CAPI server on loopback in this
// process, reached by the component through libcapi20, whose configuration
// names the server.
//   trace: the demo played without pauses, frames per second from the
//          controller to OnL3Trace, every indication answered, none lost;
//   data:  one call in the fast mode, B3 blocks per second each way.

#include "CapiDriverLibrary.h"
#include "DataCall.h"
#include "RemoteServer.h"
#include "SimSteering.h"
#include "TFCapi20.h"
#include "TraceSteering.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint64_t kBatch = 5000;
constexpr char kPlatformDriver[] = "capi2032.dll";

VsimTraceCounts Counts()
{
    VsimTraceCounts counts = {};
    VsimTraceGetCounts(0, &counts);
    return counts;
}

void PumpUntil(uint64_t& lines, uint64_t target)
{
    while (lines < target)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A server on a free loopback port for the whole run, and the platform
// library's configuration pointing at it.
struct TRemote {
    TCapiDriverLibrary Driver;
    std::unique_ptr<remote::TRemoteServer> Server;
    QTemporaryDir Home;
    int Stop[2] = {-1, -1};
    std::thread Thread;

    bool Start()
    {
        uint32_t error = 0;
        if (Driver.Load(QStringLiteral(VESSIK_SIM_LIBRARY), error) != TCapiDriverLibrary::TLoadResult::Loaded
            || ::pipe(Stop) != 0)
            return false;
        Server = std::make_unique<remote::TRemoteServer>(Driver.Entry(), [](const std::string&) {});
        if (!Server->Listen("127.0.0.1", 0).empty())
            return false;
        QFile rc(QDir(Home.path()).filePath(QStringLiteral(".capi20rc")));
        if (!rc.open(QIODevice::WriteOnly))
            return false;
        rc.write(QStringLiteral("REMOTE rcapi 127.0.0.1 %1\n").arg(Server->Port()).toUtf8());
        rc.close();
        // The library reads its configuration once, at its first call.
        setenv("HOME", QFile::encodeName(Home.path()).constData(), 1);
        Thread = std::thread([this] { Server->Run(Stop[0]); });
        return true;
    }
    ~TRemote()
    {
        if (Thread.joinable()) {
            [[maybe_unused]] const ssize_t written = ::write(Stop[1], "x", 1);
            Thread.join();
        }
    }
};

TRemote& Remote()
{
    static TRemote remote;
    static const bool started = remote.Start();
    if (!started)
        std::abort();
    return remote;
}

void RunTrace(benchmark::State& state, const QString& driver)
{
    unsetenv("VESSIK_SIM_SCENARIO");
    VsimReset();
    VsimTraceReset();
    VsimSetPutLogLimit(0);
    VsimTraceSetLooping(1);
    VsimTraceSetPaced(0);
    VsimTraceSetWindow(64);

    TCapi20 capi;
    uint64_t lines = 0;
    capi.OnL3Trace = [&](uint32_t, const QString&) { ++lines; };
    capi.SetL2Display(true);
    if (!capi.OpenDevice(driver)) {
        state.SkipWithError("the controller did not open");
        return;
    }
    capi.StartTrace();
    PumpUntil(lines, kBatch);

    const uint64_t before = lines;
    for (auto _ : state)
        PumpUntil(lines, lines + kBatch);
    const uint64_t frames = lines - before;

    capi.StopTrace();
    QTimer wake;
    wake.start(5);
    while (Counts().Unanswered != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake.stop();
    const VsimTraceCounts counts = Counts();
    capi.CloseDevice();

    state.SetItemsProcessed(int64_t(frames));
    state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["lost"] = double(counts.Sent - lines);
    state.counters["unanswered"] = double(counts.Sent - counts.Answered);
    if (counts.Sent != lines || counts.Answered != counts.Sent || counts.Wrong != 0)
        state.SkipWithError("frames were lost or left unanswered");
}

void BM_TraceDirect(benchmark::State& state)
{
    RunTrace(state, QStringLiteral(VESSIK_SIM_LIBRARY));
    state.SetLabel("simulated controller loaded directly");
}
BENCHMARK(BM_TraceDirect)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_TraceThroughRemoteServer(benchmark::State& state)
{
    Remote();
    RunTrace(state, QLatin1String(kPlatformDriver));
    state.SetLabel("libcapi20 -> TCP loopback -> vessik-capid session -> simulated controller");
}
BENCHMARK(BM_TraceThroughRemoteServer)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DataDirect(benchmark::State& state)
{
    RunDataBothWays(state, QStringLiteral(VESSIK_SIM_LIBRARY));
    state.SetLabel("simulated controller loaded directly");
}
BENCHMARK(BM_DataDirect)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_DataThroughRemoteServer(benchmark::State& state)
{
    Remote();
    RunDataBothWays(state, QLatin1String(kPlatformDriver));
    state.SetLabel("libcapi20 -> TCP loopback -> vessik-capid session -> simulated controller");
}
BENCHMARK(BM_DataThroughRemoteServer)->Iterations(3)->Unit(benchmark::kMillisecond);

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
