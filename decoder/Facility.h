#pragma once
// Facility information element (0x1C): ROSE components in ASN.1 BER.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Adds the element's nodes under parent; returns the summary text (the
// recorded charging units of an advice-of-charge invoke, else empty).
QString DecodeFacility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
