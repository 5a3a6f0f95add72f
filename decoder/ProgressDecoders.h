#pragma once
// Progress indicator (0x1E) and call state (0x14).

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Adds the progress lines; the text result is always empty.
QString DecodeProgressIndicator(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
// Text result: the call state name ("active", ... or "unknown").
QString DecodeCallState(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
