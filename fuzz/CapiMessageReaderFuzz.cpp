// Walks an arbitrary received CAPI message with TCapiMessageReader, driven by
// an arbitrary script of reads and skips. The reader must never leave the
// message, whatever its Length field claims.

#include "CapiMessageReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);

    // The message: the driver hands over Length bytes, so the buffer holds at
    // least the header and at least what Length claims; Length itself is free.
    std::vector<uint8_t> message = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 0x10007));
    if (message.size() < 8)
        message.resize(8, 0);
    const uint16_t length = uint16_t(message[0] | (message[1] << 8));
    // Exactly the bytes the reader may touch, so ASan sees a read one past.
    message.resize(length < 8 ? 8 : length, 0);
    const uint8_t* begin = message.data();
    const uint8_t* end = begin + length;

    TCapiMessageReader r;
    r.Bind(begin);
    Check(r.MessageLength() == length);
    volatile uint32_t sink = r.MessageNumber();

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 8)) {
        case 0: sink = sink + r.ReadByte(); break;
        case 1: sink = sink + r.ReadWord(); break;
        case 2: sink = sink + r.ReadDword(); break;
        case 3: {
            const uint8_t count = in.ConsumeIntegral<uint8_t>();
            const uint32_t before = r.Remaining();
            const QString text = r.ReadText(count);
            Check(uint32_t(text.size()) <= count);
            Check(r.Remaining() + (before < count ? before : count) == before);
            break;
        }
        case 4: r.Skip(in.ConsumeIntegral<uint8_t>()); break;
        case 5: r.SkipStructAt(r.Position()); break;
        case 6: r.SkipStructAt(in.ConsumeIntegral<uint32_t>()); break;
        case 7: r.SkipStructAt(in.ConsumeIntegral<uint16_t>()); break;
        case 8: {
            // What a handler does with a struct: count, then the content to a decoder.
            const uint8_t count = r.ReadByte();
            const uint8_t* p = r.CurrentData();
            if (p && r.Remaining() >= count)
                for (uint32_t i = 0; i < count; ++i)
                    sink = sink + p[i];
            r.Skip(count);
            break;
        }
        }
        // The cursor's view never reaches outside the message.
        const uint8_t* p = r.CurrentData();
        const uint32_t remaining = r.Remaining();
        if (p) {
            Check(p >= begin + 8 && p <= end);
            Check(uint64_t(p - begin) + remaining == length);
            if (remaining > 0) // both ends of the view, for ASan
                sink = sink + p[0] + p[remaining - 1];
        } else {
            Check(remaining == 0);
        }
    }
    (void)sink;
    return 0;
}
