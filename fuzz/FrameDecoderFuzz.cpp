// One D-channel frame of arbitrary octets through everything the trace and
// the decode view do with it: the summary with the layer-2 display on and
// off, the full tree, and the trace's element walk without a tree.

#include "CheckingTree.h"
#include "FrameDecoder.h"

#include <cstdint>

namespace {

// What the trace does with each received frame to derive its call events.
void TraceWalk(const uint8_t* frame, uint32_t n)
{
    const uint32_t h = DecodeLayer2(nullptr, frame, n);
    Check(h == 0 || h == 3 || h == 4);
    Check(h <= n);
    uint32_t p = h + 1;
    CallReference(frame, n, p);
    uint8_t messageType = 0;
    if (p < n)
        messageType = frame[p++];
    volatile qsizetype sink = MessageTypeName(messageType).size();
    while (p < n) {
        const uint8_t id = frame[p++];
        if (id >= 0x80)
            continue;
        uint32_t count = p < n ? frame[p] : 0;
        ++p;
        const uint32_t left = p < n ? n - p : 0;
        if (count > left)
            count = left;
        sink = sink + DecodeElement(nullptr, kTopLevel, id, frame + (p < n ? p : n), count).size();
        p += count;
    }
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFF)
        return 0;
    const auto n = uint32_t(size);

    Check(!FrameSummary(data, n, false).isNull());
    Check(!FrameSummary(data, n, true).isNull());

    // Each element gives a bounded number of nodes; a loop that never ends
    // shows up as a tree far bigger than the frame.
    static TCheckingTree tree(64 * uint64_t(0xFFFF) + 64);
    TCheckingTree bounded(64 * uint64_t(n) + 64);
    DecodeFrame(&bounded, data, n);
    Check(bounded.Count() >= 1); // "Layer 2 (Q.921)" at least
    DecodeFrame(&tree, data, n); // a second run reuses a tree that held nodes
    Check(tree.Count() == bounded.Count());

    TraceWalk(data, n);
    return 0;
}
