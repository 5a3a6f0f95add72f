#include "FrameText.h"

#include "FrameDecoder.h"
#include "MemoryTree.h"
#include "OneLine.h"

QStringList FrameTextLines(const uint8_t* frame, uint32_t length, bool layer2, TMemoryTree& tree)
{
    DecodeFrame(&tree, frame, length);
    QStringList lines = tree.Lines();
    lines.prepend(FrameSummary(frame, length, layer2));
    for (QString& line : lines)
        line = OneLine(std::move(line));
    return lines;
}
