#pragma once
// The coding standard and location lines that several elements share; each
// family of elements words the coding standard its own way.

#include "DecodeTree.h"

#include <cstdint>

enum class TCodingStandardTexts : uint8_t {
    Bearer,   // bearer capability, high layer compatibility
    LowLayer, // low layer compatibility
    Progress, // progress indicator, cause, call state
};

// value is the two-bit coding standard (0..3).
void AddCodingStandard(TDecodeTree* tree, TNodeId parent, uint8_t value, TCodingStandardTexts texts);
// value is octet 3 and 0x0F; unlisted values add no line.
void AddLocation(TDecodeTree* tree, TNodeId parent, uint8_t value);
