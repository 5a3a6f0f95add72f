// KORVAN manufacturer messages: indications of every kind (contacts with
// their pictures included), confirmations, and pictures alone.
//
// Input: one selector byte, a 16-bit little-endian message length L, L bytes
// of CAPI message (its Length field is set to the bytes it has, as the
// receive path guarantees), then the picture bytes. Selector & 3: 0 an
// indication, 1 a confirmation, 2 the picture bytes alone through the
// decoder. A contact's size dword is clamped to the picture bytes and a
// non-zero 64-bit address points at them, as a driver in the process would
// hand them over; a zero address stays zero.

#include "CapiMessageReader.h"
#include "ContactPicture.h"
#include "TFCapi20.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr size_t kHeader = 8;
constexpr size_t kKindAt = kHeader + 8; // after the controller and the ManuID
constexpr uint8_t kContact = 35;
constexpr size_t kContactTexts = 5;

volatile size_t g_sink = 0;

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void Touch(const QString& text)
{
    g_sink = g_sink + size_t(text.size());
}

void CheckPicture(const TBitmap* bitmap)
{
    if (bitmap == nullptr)
        return;
    Check(bitmap->Width > 0 && bitmap->Height > 0);
    Check(bitmap->Width <= kMaxPictureSide && bitmap->Height <= kMaxPictureSide);
    Check(bitmap->Pixels.size() == size_t(bitmap->Width) * size_t(bitmap->Height));
    g_sink = g_sink + bitmap->Pixels.front() + bitmap->Pixels.back();
}

uint32_t Dword(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void PutDword(uint8_t* bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}

// Points a contact's picture at the picture bytes, as a driver would.
void HandOverPicture(std::vector<uint8_t>& message, const std::vector<uint8_t>& picture)
{
    if (message.size() <= kKindAt || message[kKindAt] != kContact)
        return;
    size_t position = kKindAt + 1;
    for (size_t text = 0; text < kContactTexts && position < message.size(); ++text)
        position += 1 + message[position];
    if (position + 16 > message.size())
        return; // no full address: the component must see none
    const uint32_t size = Dword(&message[position]);
    if (size > picture.size())
        PutDword(&message[position], uint32_t(picture.size()));
    const bool present = Dword(&message[position + 8]) != 0 || Dword(&message[position + 12]) != 0;
    const uint64_t address = present ? uint64_t(reinterpret_cast<uintptr_t>(picture.data())) : 0;
    PutDword(&message[position + 4], uint32_t(address));
    PutDword(&message[position + 8], uint32_t(address));
    PutDword(&message[position + 12], uint32_t(address >> 32));
}

TCapi20& Component()
{
    static int argc = 1;
    static char name[] = "fuzz_korvan";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static TCapi20 capi;
    static bool assigned = false;
    if (!assigned) {
        assigned = true;
        capi.OnGetTimeStamp = [] { return QStringLiteral("00:00:00,000"); };
        capi.OnInfo = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
        capi.OnENUM = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
        capi.OnSMS = [](const QString& a, const QString& b, const QString& c, bool) {
            Touch(a);
            Touch(b);
            Touch(c);
        };
        capi.OnStatistics = [](uint32_t, const TVoIPStatistics& statistics) { Touch(statistics.Text); };
        capi.OnMDNS = [](uint32_t, uint32_t, const QString& a, const QString& b, const QString& c) {
            Touch(a);
            Touch(b);
            Touch(c);
        };
        capi.OnThreadName = [](uint32_t, uint32_t, const QString& s) { Touch(s); };
        capi.OnAutoAnswer = [](uint32_t, uint16_t) {};
        capi.OnGContact = [](const QString& a, const QString& b, const QString& c, const QString& d,
                             const QString& e, const TBitmap* bitmap) {
            for (const QString* text : {&a, &b, &c, &d, &e})
                Touch(*text);
            CheckPicture(bitmap);
        };
        capi.OnGContactStatus = [](uint8_t status) { g_sink = g_sink + status; };
        capi.OnL3Trace = [](uint32_t, const QString& s) { Touch(s); };
    }
    return capi;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t selector = data[0];
    const size_t length = std::min<size_t>(size - 3, size_t(data[1] | (data[2] << 8)));
    const uint8_t* rest = data + 3;
    // Exactly sized copies, so any read beyond them is caught.
    const std::vector<uint8_t> picture(rest + length, data + size);
    if ((selector & 3) == 2) {
        std::optional<TBitmap> bitmap = DecodeContactPicture(picture.data(), picture.size());
        CheckPicture(bitmap ? &*bitmap : nullptr);
        return 0;
    }
    std::vector<uint8_t> message(rest, rest + length);
    if (message.size() < kHeader)
        message.resize(kHeader, 0);
    message[0] = uint8_t(message.size());
    message[1] = uint8_t(message.size() >> 8);
    TCapi20& capi = Component();
    if ((selector & 3) == 1) {
        capi.ManufacturerConfirmation(message.data());
        Check(capi.SampleRate() >= 8000);
        // 240 until the driver announces a format, then whole 32-byte units.
        Check(capi.PcmBlockSize() == TCapi20::kB3BlockSize || capi.PcmBlockSize() % 32 == 0);
        return 0;
    }
    HandOverPicture(message, picture);
    TCapiMessageReader reader;
    reader.Bind(message.data());
    const uint32_t controller = reader.ReadDword();
    reader.ReadDword(); // the ManuID: the caller routed it here
    TCapiMessageReader kindReader = reader;
    const uint8_t kind = kindReader.ReadByte();
    Check(capi.KorvanIndication(controller, reader) == kind); // the answer carries the kind byte
    Check(reader.Position() <= message.size());
    return 0;
}
