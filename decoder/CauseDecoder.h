#pragma once
// Cause (0x08) and the cause texts.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Text result: CauseText of the cause value.
QString DecodeCause(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// "16:Normal call clearing" for the octet 0x90; only octets with the
// extension bit set have a text, any other gives empty text.
QString CauseText(uint8_t cause);
