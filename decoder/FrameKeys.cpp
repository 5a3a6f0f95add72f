#include "FrameKeys.h"

#include "FrameDecoder.h"

#include <algorithm>

namespace {

constexpr uint8_t kQ931 = 0x08;
constexpr uint8_t kCause = 0x08;
constexpr uint8_t kKeypad = 0x2C;
constexpr uint8_t kCalling = 0x6C;
constexpr uint8_t kCalled = 0x70;

} // namespace

TFrameKeys FrameKeys(const uint8_t* frame, uint32_t length, bool values)
{
    TFrameKeys keys;
    if (frame == nullptr)
        return keys;
    const uint32_t h = DecodeLayer2(nullptr, frame, length);
    if (h <= 1 || h >= length || frame[h] != kQ931)
        return keys;
    keys.Q931 = true;
    uint32_t p = h + 1;
    if (p < length) {
        keys.CallReferenceLength = frame[p];
        keys.CallReferenceFlag = keys.CallReferenceLength > 0 && p + 1 < length && (frame[p + 1] & 0x80) != 0;
    }
    keys.CallReference = CallReference(frame, length, p);
    if (p < length)
        keys.MessageType = frame[p++] & 0x7F;
    if (!values)
        return keys;

    // The elements, walked as DecodeFrame walks them.
    while (p < length) {
        const uint8_t id = frame[p++];
        if (id >= 0x80)
            continue;
        uint32_t n = p < length ? frame[p++] : 0;
        n = std::min(n, length - p);
        const uint8_t* contents = frame + p;
        p += n;
        if (id == kCalling && keys.Calling.isEmpty())
            keys.Calling = DecodeElement(nullptr, kTopLevel, id, contents, n);
        else if (id == kCalled)
            keys.Called += DecodeElement(nullptr, kTopLevel, id, contents, n);
        else if (id == kKeypad) // IA5 digits; its decoder gives no text result
            keys.Called += QString::fromLatin1(reinterpret_cast<const char*>(contents), n);
        else if (id == kCause && keys.Cause.isEmpty())
            keys.Cause = DecodeElement(nullptr, kTopLevel, id, contents, n);
    }
    return keys;
}
