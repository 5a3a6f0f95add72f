#pragma once
// Elements that carry text: display, keypad facility, date/time, and the
// CAPI user-user data struct.

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Text result: the display text.
QString DecodeDisplay(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
// Adds the keypad digits; the text result is always empty.
QString DecodeKeypad(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
// Text result: "dd.mm.yy hh:mm,ss", as far as the octets go.
QString DecodeDateTime(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);

// CAPI user-user data struct; text only (IA5 information), the tree is not used.
QString DecodeUserUser(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
inline QString DecodeUserUser(const uint8_t* contents, uint32_t count)
{
    return DecodeUserUser(nullptr, kTopLevel, contents, count);
}
