#pragma once
// Channel identification (0x18).

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Text result: "no", "B1", "B2", "any", "?" (explicit interface with more
// octets) or empty.
QString DecodeChannelIdentification(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
