#pragma once
// Arguments of the advice-of-charge operations that carry charging units.
// Both return the recorded number of units in decimal, "0" when the call is
// free of charge, and empty text when the argument holds no number.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Argument of AOCDChargingUnit (operation 34).
QString DecodeAocDUnits(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);

// Argument of AOCEChargingUnit (operation 36).
QString DecodeAocEUnits(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);
