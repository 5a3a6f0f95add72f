#pragma once
// Facility information element (0x1C): ROSE components in ASN.1 BER.
// Every operation reads only the octets it is given and adds its nodes under
// parent; with no tree it adds nothing and still returns its summary text.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Adds the element's nodes under parent; returns the summary text (the
// recorded charging units of an advice-of-charge invoke, else empty).
QString DecodeFacility(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// The component octets after the protocol profile; only the first component
// is decoded, the others show in the hex line.
QString DecodeComponent(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);

// Contents of an invoke component; returns the charging units of an
// advice-of-charge argument.
QString DecodeInvoke(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);

void DecodeReturnResult(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);
void DecodeReturnError(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);
void DecodeReject(TDecodeTree* tree, TNodeId parent, const uint8_t* data, uint32_t count);
