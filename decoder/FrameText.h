#pragma once
// The decode of one frame as plain text, as the command line prints it and the
// window copies it: the summary line, then the decode tree one node per line.

#include <QStringList>
#include <cstdint>

class TMemoryTree;

// The summary, then every node in pre-order indented by two blanks per level;
// a line break inside a text becomes U+FFFD so a node stays one line. `tree`
// is scratch space that decoding many frames reuses.
QStringList FrameTextLines(const uint8_t* frame, uint32_t length, bool layer2, TMemoryTree& tree);
