// One information element: the identifier is the first octet, the contents
// are the rest. Decoded with a tree under an element node and without one,
// as the decode view and the trace do; both give the same text result.

#include "CheckingTree.h"
#include "FrameDecoder.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0x10000)
        return 0;
    const uint8_t id = data[0];
    const auto count = uint32_t(size - 1);
    // The contents in a block of their own size, so a read one past shows.
    const uint8_t* contents = data + 1;

    TCheckingTree tree(64 * uint64_t(count) + 64);
    const TNodeId element = tree.AddChild(kTopLevel, QStringLiteral("IE: ") + InformationElementName(id));
    const QString withTree = DecodeElement(&tree, element, id, contents, count);
    const QString without = DecodeElement(nullptr, kTopLevel, id, contents, count);
    Check(withTree == without);
    return 0;
}
