#pragma once
// Raw octets as the decoder shows them: "08 01 05 " (two upper-case digits
// and a blank per octet).

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

QString HexLine(const uint8_t* octets, uint32_t count);

// Adds the hex line of the octets as one child of parent; nothing without a tree.
void AddHexLine(TDecodeTree* tree, TNodeId parent, const uint8_t* octets, uint32_t count);
