// Decoding speed over a mix of frames as a basic-rate trace shows them:
// call set-up and clearing, overlap digits, advice of charge, layer-2
// supervision and TEI management.

#include "FrameDecoder.h"
#include "HexLine.h"
#include "MemoryTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

const std::vector<std::vector<uint8_t>>& Mix()
{
    static const std::vector<std::vector<uint8_t>> frames = [] {
        std::vector<std::vector<uint8_t>> f;
        for (const char* hex : {
                 // SETUP: sending complete, bearer, channel, calling and called number, HLC
                 "02 FF 03 08 01 05 05 A1 04 03 80 90 A3 18 01 83 6C 0B 21 83 33 30 31 32 33 34 35 36 37 "
                 "70 08 A1 30 33 30 39 38 37 36 7D 02 91 81",
                 // SETUP with display and date/time
                 "02 FF 03 08 01 06 05 04 03 80 90 A3 18 01 89 6C 06 01 80 35 35 35 31 70 04 C1 31 32 33 "
                 "28 05 41 6E 6E 61 20 29 05 18 03 0E 0A 1E",
                 "00 81 01 0A",                                           // RR
                 "02 81 00 02 08 01 85 02 18 01 89",                      // CALL PROCEEDING
                 "02 81 02 04 08 01 85 01 1E 02 82 88",                   // ALERTING
                 "00 81 04 04 08 01 05 7B 70 02 80 31",                   // INFORMATION
                 "00 81 06 06 08 01 05 7B 70 03 80 32 33",                // INFORMATION
                 "02 81 04 08 08 01 85 07 29 05 18 03 0E 0A 1F 4C 05 01 80 31 32 33", // CONNECT
                 "00 81 08 06 08 01 05 0F",                               // CONNECT ACKNOWLEDGE
                 "02 81 01 0A",                                           // RR
                 "02 81 05 0A",                                           // RNR
                 // FACILITY with advice of charge during the call (AOC-D, 5 units)
                 "02 81 06 0A 08 01 85 62 1C 16 91 A1 13 02 01 05 02 01 22 30 0B A1 06 30 04 02 02 00 05 82 01 01",
                 "00 81 0A 0A 08 01 05 45 08 02 80 90",                   // DISCONNECT
                 "02 81 0C 0C 08 01 85 4D 08 02 82 90",                   // RELEASE
                 "00 81 0E 0E 08 01 05 5A",                               // RELEASE COMPLETE
                 "FE FF 03 0F 7C 5A 01 FF",                               // TEI identity request
                 "FC FF 03 0F 7C 5A 02 81",                               // TEI identity assigned
             })
        {
            const QByteArray octets = OctetsFromHexLine(QString::fromLatin1(hex), 4096);
            f.emplace_back(octets.begin(), octets.end());
        }
        return f;
    }();
    return frames;
}

// What the trace does per frame: the summary, then each element's text
// result without a tree.
void BM_SummaryAndElementWalk(benchmark::State& state)
{
    const auto& frames = Mix();
    int64_t count = 0;
    for (auto _ : state) {
        for (const auto& f : frames) {
            const uint8_t* frame = f.data();
            const auto length = uint32_t(f.size());
            benchmark::DoNotOptimize(FrameSummary(frame, length, true));
            const uint32_t h = DecodeLayer2(nullptr, frame, length);
            if (h <= 1 || h >= length || frame[h] != 0x08)
                continue;
            uint32_t p = h + 1;
            CallReference(frame, length, p);
            ++p; // message type
            while (p < length) {
                const uint8_t id = frame[p++];
                if (id >= 0x80)
                    continue;
                uint32_t n = p < length ? frame[p] : 0;
                ++p;
                n = p >= length ? 0 : std::min<uint64_t>(n, length - p);
                benchmark::DoNotOptimize(DecodeElement(nullptr, kTopLevel, id, frame + (n ? p : 0), n));
                p += n;
            }
        }
        count += int64_t(frames.size());
    }
    state.SetItemsProcessed(count);
}
BENCHMARK(BM_SummaryAndElementWalk);

void BM_DecodeFrameIntoMemoryTree(benchmark::State& state)
{
    const auto& frames = Mix();
    TMemoryTree tree;
    int64_t count = 0;
    for (auto _ : state) {
        for (const auto& f : frames) {
            DecodeFrame(&tree, f.data(), uint32_t(f.size()));
            benchmark::DoNotOptimize(tree.Nodes().data());
        }
        count += int64_t(frames.size());
    }
    state.SetItemsProcessed(count);
}
BENCHMARK(BM_DecodeFrameIntoMemoryTree);

} // namespace

BENCHMARK_MAIN();
