#pragma once
// The values of a Q.931 frame that the trace list groups and filters by, read
// from the octets with the decoders' own rules, so that nothing has to parse a
// summary or a node text back.

#include <QString>
#include <cstdint>

struct TFrameKeys {
    bool Q931 = false;               // the frame carries a Q.931 message
    uint8_t CallReferenceLength = 0; // 0: the dummy call reference
    uint32_t CallReference = 0;      // as CallReference reads it, without the flag
    bool CallReferenceFlag = false;  // set in messages of the side that did not choose the value
    uint8_t MessageType = 0;         // with bit 8 cleared, as the names are looked up
    QString Calling;                 // text result of the calling party number
    QString Called;                  // digits of the called party number, or of a keypad element
    QString Cause;                   // text result of the first cause, e.g. "16:Normal call clearing"
};

// Keys of one frame; a frame without a Q.931 message gives Q931 false and
// nothing else. With `values` false the numbers and the cause are not read,
// which is what sorting rows into calls needs for every frame but a few.
TFrameKeys FrameKeys(const uint8_t* frame, uint32_t length, bool values = true);
