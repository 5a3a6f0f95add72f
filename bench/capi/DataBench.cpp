// The B-channel data path on one live call of the simulated controller loaded
// directly, both ways at once. Reports blocks per second each way and heap
// allocations per block once the call's FIFO exists. Goal: at least 200 000
// blocks/s each way, 0 allocations.

#include "DataCall.h"

#include <QCoreApplication>

namespace {

void BM_DataBothWays(benchmark::State& state)
{
    RunDataBothWays(state, QStringLiteral(VESSIK_SIM_LIBRARY));
}
BENCHMARK(BM_DataBothWays)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
