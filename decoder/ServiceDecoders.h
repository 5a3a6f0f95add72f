#pragma once
// Elements that describe the service of a call: bearer capability, low and
// high layer compatibility; and the names of the CAPI CIP values.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Adds the bearer's lines; the text result is always empty.
QString DecodeBearerCapability(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// Text result: the transfer capability line ("transfer capability: speech",
// ... or "unknown"). wideband is set when the element describes 7 kHz audio
// (G.722/G.725 layer 1, or 7 kHz transfer capability without a layer 1 octet).
QString DecodeLowLayerCompatibility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count,
                                    bool& wideband);

// Text result: the high layer characteristics ("telephony", ... or "unknown").
QString DecodeHighLayerCompatibility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// Name of a CAPI CIP value; empty for values without one.
QString CipName(uint16_t cip);
