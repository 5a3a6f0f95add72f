// Capture files on a million rows: a log of about 75 MB exported to pcap and
// pcapng (load the log, write the capture) and a capture imported (read it,
// write the log), each timed from file to file, with the peak memory it
// added next to the log's own size.
// Goal: each under 1.0 s on the project's machine; peak growth below the log's size.

#include "CaptureLog.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr int kRows = 1000000;

struct TFrameKind {
    const char* message;
    std::vector<uint8_t> head; // the frame's first octets; random octets follow up to `octets`
    int octets;
};

// A basic-rate trace: call control carries the bulk of the octets.
const TFrameKind kKinds[] = {
    {"setup(05)", {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3}, 38},
    {"call proceeding(05)", {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x85, 0x02}, 14},
    {"alerting(05)", {0x00, 0x81, 0x02, 0x00, 0x08, 0x01, 0x85, 0x01}, 12},
    {"connect(05)", {0x00, 0x81, 0x04, 0x00, 0x08, 0x01, 0x85, 0x07}, 24},
    {"facility(05)", {0x02, 0x81, 0x06, 0x02, 0x08, 0x01, 0x05, 0x62, 0x1C}, 44},
    {"disconnect(05)", {0x02, 0x81, 0x08, 0x02, 0x08, 0x01, 0x05, 0x45, 0x08, 0x02, 0x80, 0x90}, 16},
    {"release complete(05)", {0x00, 0x81, 0x06, 0x0A, 0x08, 0x01, 0x85, 0x5A}, 13},
};

QByteArray LogLineOf(std::mt19937& random, int n)
{
    const TFrameKind& kind = kKinds[random() % std::size(kKinds)];
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray data;
    for (int i = 0; i < kind.octets; ++i) {
        const uint8_t b = i < int(kind.head.size()) ? kind.head[size_t(i)] : uint8_t(random());
        data.append(kHex[b >> 4]).append(kHex[b & 15]).append(' ');
    }
    data.chop(1);
    const int ms = n * 7; // about two hours
    const QByteArray time = QString::asprintf("%02d:%02d:%02d,%03d", 10 + ms / 3600000 % 14, ms / 60000 % 60,
                                              ms / 1000 % 60, ms % 1000).toLatin1();
    return time + (random() % 2 ? ";R;" : ";T;") + kind.message + ';' + data + "\r\n";
}

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

const QString& LogPath()
{
    static const QString path = [] {
        const QString file = Dir().filePath(QStringLiteral("trace.log"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        std::mt19937 random(1);
        QByteArray block("\xEF\xBB\xBF");
        for (int n = 0; n < kRows; ++n) {
            block += LogLineOf(random, n);
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

long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

// Peak memory is measured from here on.
long ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS:");
}

// The most any iteration added to the resident memory at its peak.
double PeakGrowth(long rssBefore, double most)
{
    return std::max(most, double(StatusKiB("VmHWM:") - rssBefore) * 1024);
}

void Report(benchmark::State& state, double peak)
{
    const double logSize = double(QFileInfo(LogPath()).size());
    state.counters["log_MB"] = logSize / 1e6;
    state.counters["peak_growth_MB"] = peak / 1e6;
    state.counters["peak_per_log"] = peak / logSize;
}

bool Export(const QString& out, TCaptureFormat format)
{
    const TExportResult result = ExportLogFile(LogPath(), out, format);
    return result.Written && result.Counts.Packets == uint64_t(kRows);
}

void BM_Export(benchmark::State& state)
{
    const auto format = TCaptureFormat(state.range(0));
    const QString out = Dir().filePath(format == TCaptureFormat::Pcap ? "out.pcap" : "out.pcapng");
    LogPath();
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long before = ResetPeak();
        state.ResumeTiming();
        if (!Export(out, format))
            state.SkipWithError("export failed");
        peak = PeakGrowth(before, peak);
    }
    Report(state, peak);
    state.counters["capture_MB"] = double(QFileInfo(out).size()) / 1e6;
    state.SetLabel("goal: < 1.0 s, peak_per_log < 1");
}

void BM_Import(benchmark::State& state)
{
    const auto format = TCaptureFormat(state.range(0));
    const QString capture = Dir().filePath(format == TCaptureFormat::Pcap ? "in.pcap" : "in.pcapng");
    if (!QFileInfo::exists(capture) && !Export(capture, format)) {
        state.SkipWithError("export failed");
        return;
    }
    const QString log = Dir().filePath("imported.log");
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long before = ResetPeak();
        state.ResumeTiming();
        const TImportResult result = ImportCaptureFile(capture, log, false);
        if (!result.Load.Complete || result.Load.Rows != uint64_t(kRows) || !result.Written)
            state.SkipWithError("import failed");
        peak = PeakGrowth(before, peak);
    }
    Report(state, peak);
    state.SetLabel("goal: < 1.0 s, peak_per_log < 1");
}

BENCHMARK(BM_Export)->Arg(int(TCaptureFormat::Pcap))->Arg(int(TCaptureFormat::Pcapng))
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import)->Arg(int(TCaptureFormat::Pcap))->Arg(int(TCaptureFormat::Pcapng))
    ->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
