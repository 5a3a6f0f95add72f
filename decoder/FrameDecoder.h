#pragma once
// A D-channel frame as the controller's trace delivers it (Q.921 without
// flags and checksum, then the layer-3 message): a one-line summary for the
// trace list and a tree of decoded fields for the selected frame.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Adds "Layer 2 (Q.921)" and its lines (with a tree); returns the layer-2
// header length: 0 for frames of fewer than three octets, else 3 or 4, never
// more than length.
uint32_t DecodeLayer2(TDecodeTree* tree, const uint8_t* frame, uint32_t length);

// "I", "RR", "UI", ... or empty.
QString FrameTypeName(const uint8_t* frame, uint32_t length);

// Reads the call reference at position (its length octet first) and moves
// position past it; 0 when position is at or past the end.
uint32_t CallReference(const uint8_t* frame, uint32_t length, uint32_t& position);

QString MessageTypeName(uint8_t messageType);
QString InformationElementName(uint8_t identifier);

// "setup(05)", or with the layer-2 display "I(40), setup(05)".
QString FrameSummary(const uint8_t* frame, uint32_t length, bool layer2);

// Clears the tree and fills it with the frame's layer 2, layer 3 and elements.
void DecodeFrame(TDecodeTree* tree, const uint8_t* frame, uint32_t length);

// Decodes one element's contents (count already clipped to the frame) under
// parent, the element's own node; returns the element's text result.
QString DecodeElement(TDecodeTree* tree, TNodeId parent, uint8_t identifier, const uint8_t* contents,
                      uint32_t count);
