// Arbitrary supplementary-service parameters and INFO indications through the
// component's decoders, with queued forwarding requests and pending invokes
// for them to advance. No driver is loaded, so every follow-up request ends
// at once and an input reproduces alone.
//
// Input: one octet of setup (bits 0-1: which decoder, bit 2: call forwarding
// in the controller, bit 3: CCBS in the controller, bits 4-7: queued
// requests), then the message parameters that follow the decoder's start.

#include "CapiMessageReader.h"
#include "TFCapi20.h"

#include <QCoreApplication>

#include <cstdint>
#include <vector>

namespace {

volatile size_t g_sink = 0;

void Touch(const QString& text) { g_sink = g_sink + size_t(text.size()); }

void AssignEvents(TCapi20& capi)
{
    capi.OnGetTimeStamp = [] { return QStringLiteral("00:00:00,000"); };
    capi.OnAppTrace = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnInfo = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnStatus = [](uint32_t, TCallStatus) {};
    capi.OnCompleteOffer = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnGetForwardedNumbers = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnGetForwardedNumbersEx = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnMWI = [](uint32_t, const QString& a, const QString& b) {
        Touch(a);
        Touch(b);
    };
}

// A message whose parameters are the input; the reader stands on them.
TCapiMessageReader ReaderOver(std::vector<uint8_t>& message, const uint8_t* data, size_t size, uint8_t command,
                              uint8_t subcommand)
{
    const size_t length = std::min<size_t>(8 + size, 0xFFFF);
    message.assign(length, 0);
    message[0] = uint8_t(length);
    message[1] = uint8_t(length >> 8);
    message[4] = command;
    message[5] = subcommand;
    std::copy(data, data + (length - 8), message.begin() + 8);
    TCapiMessageReader reader;
    reader.Bind(message.data());
    return reader;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_supplementary";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    if (size == 0)
        return 0;
    const uint8_t setup = data[0];
    ++data;
    --size;

    TCapi20 capi;
    AssignEvents(capi);
    // Supported services arrive as the controller's confirmation would bring them.
    const uint8_t services[] = {0x00, 0x00, 0x06, 0x00, 0x00, 0x00,
                                uint8_t((setup & 4 ? 0x10 : 0) | (setup & 8 ? 0x80 : 0)), 0x00, 0x00, 0x00};
    std::vector<uint8_t> confirmation;
    capi.DecodeSupplementaryConfirmation(1, ReaderOver(confirmation, services, sizeof services, 0x80, 0x81));
    for (int i = 0; i < (setup >> 4); ++i) {
        capi.QueueForward(1, QStringLiteral("1"), 0, 0, QStringLiteral("2"));
        capi.QueueUnForward(1, QStringLiteral("1"), 0, 0);
        capi.QueueInterrogateParams(1, QStringLiteral("1"), 0, 0);
    }

    std::vector<uint8_t> message;
    switch (setup & 3) {
    case 0:
        capi.DecodeSupplementaryIndication(0x0101, ReaderOver(message, data, size, 0x80, 0x82));
        break;
    case 1:
        capi.DecodeSupplementaryConfirmation(0x0101, ReaderOver(message, data, size, 0x80, 0x81));
        break;
    default:
        capi.DecodeInfoIndication(ReaderOver(message, data, size, 0x08, 0x82));
        break;
    }
    return 0;
}
