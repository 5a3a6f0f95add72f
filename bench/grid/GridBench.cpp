// The trace list on a million rows: loading and saving a log of about 90 MB,
// the memory the rows take, and rows appended one by one as a live trace
// appends them, with the list shown. The log is generated into a temporary
// directory on first use.

#include "ListGrid.h"
#include "LogFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <random>
#include <unistd.h>

namespace {

constexpr int kRows = 1000000;

struct TFrameKind {
    const char* message;
    int octets; // typical length of the frame
};

// A basic-rate trace: supervision frames dominate, call control carries the bulk of the octets.
constexpr TFrameKind kKinds[] = {
    {"RR(12)", 4},           {"RR(13)", 4},          {"I(40), setup(05)", 38},
    {"I(41), call proc(02)", 14}, {"I(42), alerting(01)", 12}, {"I(43), connect(07)", 24},
    {"I(44), connect ack(0F)", 9}, {"I(45), info(7B)", 20}, {"I(46), disconnect(45)", 16},
    {"I(47), release(4D)", 13}, {"I(48), release compl(5A)", 13}, {"I(49), facility(62)", 44},
    {"UI, TEI request", 8},   {"I(4A), setup(05)", 38},
};

QStringList MakeRow(std::mt19937& random, int n)
{
    const TFrameKind& kind = kKinds[random() % std::size(kKinds)];
    const int octets = kind.octets + int(random() % 3);
    static const char kHex[] = "0123456789ABCDEF";
    QString data;
    data.reserve(octets * 3);
    const uint8_t head[] = {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3};
    for (int i = 0; i < octets; ++i) {
        const uint8_t b = i < int(sizeof head) ? head[i] : uint8_t(random());
        data.append(QChar(kHex[b >> 4])).append(QChar(kHex[b & 15])).append(u' ');
    }
    const int ms = n * 7;
    const QString time = QString::asprintf("%02d:%02d:%02d,%03d", 10 + ms / 3600000 % 14, ms / 60000 % 60,
                                           ms / 1000 % 60, ms % 1000);
    return {time, random() % 2 ? "R" : "T", kind.message, data};
}

// A log of kRows rows, written once per run.
const QString& LogPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath("trace.log");
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        std::mt19937 random(1);
        QByteArray block("\xEF\xBB\xBF");
        for (int n = 0; n < kRows; ++n) {
            block += LogLine(MakeRow(random, n), u';');
            if (block.size() > (1 << 20)) {
                out.write(block);
                block.clear();
            }
        }
        out.write(block);
        return file;
    }();
    return path;
}

qint64 FileSize()
{
    return QFileInfo(LogPath()).size();
}

long ResidentKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct TShownGrid {
    TShownGrid()
    {
        for (const auto& [caption, width] : {std::pair{"Time", 72}, {"T/R", 40}, {"Message", 132}, {"Data", 256}})
            grid.AddColumn(caption, width);
        grid.resize(520, 700);
        grid.show();
        QApplication::processEvents();
    }
    TListGrid grid;
};

void Settle()
{
    // Lets the view lay out and paint what it has heard of.
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void BM_LoadMemory(benchmark::State& state)
{
    const double fileSize = double(FileSize());
    for (auto _ : state) {
        TShownGrid shown;
        Settle();
        ResetPeak();
        const long before = ResidentKiB("VmRSS:");
        const long peakBefore = ResidentKiB("VmHWM:");
        shown.grid.LoadFromFile(LogPath(), u';', false);
        Settle();
        const long after = ResidentKiB("VmRSS:");
        const long peak = ResidentKiB("VmHWM:");
        state.counters["file_MB"] = fileSize / 1e6;
        state.counters["rss_growth_MB"] = double(after - before) * 1024 / 1e6;
        state.counters["rss_growth_per_file"] = double(after - before) * 1024 / fileSize;
        state.counters["peak_growth_per_file"] = double(peak - std::min(before, peakBefore)) * 1024 / fileSize;
        state.counters["rows"] = double(shown.grid.RowCount());
    }
}

void BM_LoadFromFile(benchmark::State& state)
{
    TShownGrid shown;
    const qint64 size = FileSize();
    for (auto _ : state) {
        if (!shown.grid.LoadFromFile(LogPath(), u';', false))
            state.SkipWithError("load failed");
        Settle();
    }
    state.counters["rows"] = double(shown.grid.RowCount());
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_SaveToFile(benchmark::State& state)
{
    TShownGrid shown;
    shown.grid.LoadFromFile(LogPath(), u';', false);
    Settle();
    QTemporaryDir dir;
    const QString out = dir.filePath("saved.log");
    for (auto _ : state)
        if (!shown.grid.SaveToFile(out, u';', false))
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * QFileInfo(out).size());
    if (QFileInfo(out).size() != FileSize())
        state.SkipWithError("saved log differs in size from the loaded one");
}

// Rows appended one at a time; the event loop runs after every `range(0)` rows.
void BM_LiveAppend(benchmark::State& state)
{
    std::mt19937 random(2);
    std::vector<QStringList> pool;
    for (int n = 0; n < 4096; ++n)
        pool.push_back(MakeRow(random, n));
    const int every = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<TShownGrid>();
        TListGrid& grid = shown->grid;
        state.ResumeTiming();
        for (int n = 0; n < kRows; ++n) {
            grid.AppendRow(pool[size_t(n) % pool.size()]);
            if (n % every == 0)
                QApplication::processEvents();
        }
        // The last rows reach the view when its next batch is due.
        QElapsedTimer wait;
        wait.start();
        while (grid.model()->rowCount() != kRows && wait.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        Settle();
        state.PauseTiming();
        if (grid.model()->rowCount() != kRows)
            state.SkipWithError("the view does not show every row");
        shown.reset();
        state.ResumeTiming();
    }
    state.counters["rows_per_s"] = benchmark::Counter(double(kRows) * double(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_LoadMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LiveAppend)->Arg(1)->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    LogPath();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
