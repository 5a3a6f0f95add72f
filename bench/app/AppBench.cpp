// The window's analysis tools on a million rows: sorting the rows into calls,
// filtering the list (the view included) by text, direction and call, and
// finding a text that only the decode of the last row holds, the worst case
// of a search.

#include "CallIndex.h"
#include "ListGrid.h"
#include "TraceFilter.h"

#include <QApplication>
#include <QString>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kRows = 1000000;

// One call of seven messages on a call reference of its own, as a live trace
// of a busy line shows it, the called number in the SETUP.
struct TMessage {
    const char* direction;
    const char* name;
    const char* layer3; // after the call reference
};
constexpr TMessage kCall[] = {
    {"T", "setup", "05 04 03 80 90 A3 18 01 89 6C 06 81 34 35 36 37 38 70 04 81 31 32 33"},
    {"R", "call proceeding", "02 18 01 89"},
    {"R", "connect", "07"},
    {"T", "connect acknowledge", "0F"},
    {"T", "disconnect", "45 08 02 80 90"},
    {"R", "release", "4D"},
    {"T", "release complete", "5A"},
};

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "app_bench";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// A grid of kRows rows, built once.
TListGrid& Grid()
{
    static std::unique_ptr<TListGrid> grid = [] {
        Application();
        auto g = std::make_unique<TListGrid>();
        for (const char* caption : {"Time", "T/R", "Message", "Data"})
            g->AddColumn(QString::fromLatin1(caption), 80);
        for (int row = 0; row < kRows; ++row) {
            const TMessage& m = kCall[row % std::size(kCall)];
            const int call = row / int(std::size(kCall)) % 127 + 1;
            const bool fromUser = m.direction[0] == 'T';
            const int flag = (fromUser ? 0 : 0x80) | call;
            const int ms = row * 40;
            const QString time = QString::asprintf("%02d:%02d:%02d,%03d", ms / 3600000 % 24, ms / 60000 % 60,
                                                   ms / 1000 % 60, ms % 1000);
            const QString data = QString::asprintf("%s 01 00 00 08 01 %02X %s ", fromUser ? "00" : "02", flag,
                                                   m.layer3);
            const QString message = QString::asprintf("%s(%02X)", m.name, call);
            g->AppendRow(QStringList{time, QString::fromLatin1(m.direction), message, data});
        }
        g->FlushRows();
        return g;
    }();
    return *grid;
}

TCallIndex& Calls()
{
    static TCallIndex calls;
    calls.Update(Grid().Rows());
    return calls;
}

void BM_SortIntoCalls(benchmark::State& state)
{
    const TLogRows& rows = Grid().Rows();
    for (auto _ : state) {
        TCallIndex calls;
        calls.Update(rows);
        benchmark::DoNotOptimize(calls.Calls().size());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortIntoCalls)->Unit(benchmark::kMillisecond);

void Filter(benchmark::State& state, const TTraceFilter& filter)
{
    TListGrid& grid = Grid();
    TCallIndex& calls = Calls();
    grid.SelectRow(kRows / 2);
    qsizetype shown = 0;
    for (auto _ : state) {
        grid.SetRowFilter(RowFilter(filter, grid.Rows(), calls));
        shown = grid.ShownRowCount();
        state.PauseTiming();
        grid.SetRowFilter({});
        state.ResumeTiming();
    }
    state.counters["shown"] = double(shown);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_FilterText(benchmark::State& state)
{
    TTraceFilter filter;
    filter.Text = TTextMatch(QStringLiteral("Connect"));
    Filter(state, filter);
}
BENCHMARK(BM_FilterText)->Unit(benchmark::kMillisecond);

void BM_FilterTextMissing(benchmark::State& state)
{
    TTraceFilter filter;
    filter.Text = TTextMatch(QStringLiteral("no such text"));
    Filter(state, filter);
}
BENCHMARK(BM_FilterTextMissing)->Unit(benchmark::kMillisecond);

void BM_FilterDirectionAndLayer3(benchmark::State& state)
{
    TTraceFilter filter;
    filter.Direction = u'R';
    filter.Layer3Only = true;
    Filter(state, filter);
}
BENCHMARK(BM_FilterDirectionAndLayer3)->Unit(benchmark::kMillisecond);

void BM_FilterOneCall(benchmark::State& state)
{
    TTraceFilter filter;
    filter.Call = Calls().CallOf(kRows / 2);
    Filter(state, filter);
}
BENCHMARK(BM_FilterOneCall)->Unit(benchmark::kMillisecond);

void BM_ClearFilter(benchmark::State& state)
{
    TListGrid& grid = Grid();
    TTraceFilter filter;
    filter.Text = TTextMatch(QStringLiteral("setup"));
    for (auto _ : state) {
        state.PauseTiming();
        grid.SetRowFilter(RowFilter(filter, grid.Rows(), Calls()));
        state.ResumeTiming();
        grid.SetRowFilter({});
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ClearFilter)->Unit(benchmark::kMillisecond);

// Finds a text that no row holds: every row is tried, its decode included,
// which is the longest a search can take.
void BM_FindNowhere(benchmark::State& state)
{
    TListGrid& grid = Grid();
    const TTextMatch text(QStringLiteral("no such text"));
    const auto stored = [&grid](qsizetype shown) { return grid.StoredRowOf(shown); };
    for (auto _ : state)
        benchmark::DoNotOptimize(FindShownRow(grid.Rows(), grid.ShownRowCount(), stored, 0, false, text));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FindNowhere)->Unit(benchmark::kMillisecond)->Iterations(1);

// Finds the called number of a SETUP near the end: a text only decodes hold.
void BM_FindInDecode(benchmark::State& state)
{
    TListGrid& grid = Grid();
    const TTextMatch text(QStringLiteral("45678"));
    const auto stored = [&grid](qsizetype shown) { return grid.StoredRowOf(shown); };
    qsizetype found = -1;
    for (auto _ : state)
        found = FindShownRow(grid.Rows(), grid.ShownRowCount(), stored, kRows - 8, true, text);
    state.counters["row"] = double(found);
}
BENCHMARK(BM_FindInDecode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
