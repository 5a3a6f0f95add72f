// Builds CAPI messages from an arbitrary script of appends, structs and texts
// and checks that the writer keeps the message well formed: Length = 8 + bytes
// written, never more than the parameter area, and every closed struct's
// length byte matching its content.

#include "CapiMessageReader.h"
#include "CapiMessageWriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

QString Text(FuzzedDataProvider& in)
{
    // Arbitrary UTF-16 code units, lone surrogates included.
    QString text;
    for (size_t n = in.ConsumeIntegralInRange<size_t>(0, 300); n > 0 && in.remaining_bytes() > 0; --n)
        text.append(QChar(in.ConsumeIntegral<uint16_t>()));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    static TCapiMessageWriter w; // 2 KiB: keep it off the fuzzer's stack
    w.Init(in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(),
           in.ConsumeIntegral<uint16_t>());
    std::vector<uint32_t> open;

    while (in.remaining_bytes() > 0) {
        const uint32_t before = w.WriteLength();
        switch (in.ConsumeIntegralInRange<int>(0, 14)) {
        case 0: w.AddByte(in.ConsumeIntegral<uint8_t>()); break;
        case 1: w.AddWord(in.ConsumeIntegral<uint16_t>()); break;
        case 2: w.AddDword(in.ConsumeIntegral<uint32_t>()); break;
        case 3: {
            const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 2100));
            w.AddBytes(bytes.data(), uint32_t(bytes.size()));
            Check(w.WriteLength() == before || w.WriteLength() == before + bytes.size());
            break;
        }
        case 4: open.push_back(w.OpenStruct()); break;
        case 5:
            if (!open.empty()) {
                const uint32_t p = open.back();
                open.pop_back();
                w.CloseStruct(p);
                if (p < w.WriteLength())
                    Check(w.Message()[8 + p] == w.WriteLength() - p - 1);
            }
            break;
        case 6: w.CloseStruct(in.ConsumeIntegral<uint32_t>()); break;
        case 7: w.AddEmptyStruct(); break;
        case 8: w.AddText(Text(in), in.ConsumeBool()); break;
        case 9: w.AddCalledPartyNumber(Text(in)); break;
        case 10: w.AddConnectedNumber(Text(in), in.ConsumeBool()); break;
        case 11: w.AddFacilityPartyNumber(Text(in), in.ConsumeBool()); break;
        case 12: w.AddBProtocol(in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint16_t>(),
                                in.ConsumeIntegral<uint16_t>()); break;
        case 13: w.AddUserUserData(Text(in)); break;
        case 14: {
            const QString keypad = Text(in);
            const QString userUser = Text(in);
            const std::vector<uint8_t> facility = in.ConsumeBytes<uint8_t>(in.ConsumeIntegral<uint8_t>());
            w.AddAdditionalInfo(keypad, userUser, facility.data(), uint8_t(facility.size()));
            break;
        }
        }
        Check(w.WriteLength() <= TCapiMessageWriter::kMaxParameters);
        Check(w.MessageLength() == 8 + w.WriteLength());
    }

    // What was built reads back within its own Length.
    TCapiMessageReader r;
    r.Bind(w.Message());
    Check(r.Remaining() == w.WriteLength());
    while (r.Remaining() > 0) {
        const uint32_t at = r.Position();
        r.SkipStructAt(at);
        if (r.Position() <= at || r.Remaining() == 0)
            break;
    }
    return 0;
}
