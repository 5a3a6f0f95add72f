// The contents of one Facility element through the ROSE/BER tree decoder
// (with a tree and without; the summary text must not depend on the tree)
// and through every raw reader from every starting position of its window.

#include "CheckingTree.h"
#include "Facility.h"
#include "RawReaders.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const auto count = uint32_t(size);

    TCheckingTree tree(64 * uint64_t(count) + 64);
    const TNodeId element = tree.AddChild(kTopLevel, QStringLiteral("IE: facility data"));
    const QString withTree = DecodeFacility(&tree, element, data, count);
    const QString without = DecodeFacility(nullptr, kTopLevel, data, count);
    Check(withTree == without);

    const TFacilityWindow window(data, count);
    Check(window.Count() == (count < TFacilityWindow::kSize ? count : TFacilityWindow::kSize));
    volatile qsizetype sink = 0;
    const uint32_t starts = window.Count() == 0 ? 1 : window.Count();
    for (uint32_t start = 0; start < starts; ++start) {
        TRawPosition p = TRawPosition(start);
        sink = sink + RawLength(window, p);
        p = TRawPosition(start);
        sink = sink + RawSkipHeader(window, p);
        p = TRawPosition(start);
        sink = sink + RawFirstOctet(window, p);
        p = TRawPosition(start);
        sink = sink + RawOperation(window, p);
        p = TRawPosition(start);
        sink = sink + RawPartyNumber(window, p).size();
        p = TRawPosition(start);
        const TCcbsBFree bfree = RawCcbsBFree(window, p);
        sink = sink + bfree.linkageIdentifier + bfree.number.size();
    }
    (void)sink;
    return 0;
}
