// Arbitrary CAPI messages through the call-control handlers of TCapi20 (and
// the responses and requests they send), on the simulated driver's real
// receive path. One component lives across all inputs, as it does in a host:
// call records, supplementary-service state and message numbers carry from
// input to input, so stale state left by one message meets the next.
//
// The input is messages back to back, each as long as its Length field says
// (clamped to the header and to what is left). A command outside call
// control is mapped onto one, and a subcommand onto a confirmation or an
// indication, so every message reaches a handler.

#include "FuzzComponent.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

using fuzz::Check;

// The commands whose confirmations and indications the call-control handlers take.
constexpr std::array<uint8_t, 12> kCommands = {0x01, 0x02, 0x03, 0x04, 0x05, 0x08,
                                               0x41, 0x80, 0x82, 0x83, 0x84, 0x88};

bool IsCallControl(uint8_t command)
{
    for (uint8_t known : kCommands)
        if (known == command)
            return true;
    return false;
}

// Answers calls and hangs up some B3 connections, so the responses and
// requests of call control run too. The MSN filter's prefixes, wideband and
// the power-management request are on.
void Configure(TCapi20& capi)
{
    // Accept, ignore or reject by the indication's number, so every response
    // path is reached.
    capi.OnConnect = [&capi](uint32_t plci, uint16_t number) {
        capi.ConnectResponse(plci, uint16_t(number % 256), number,
                             (number & 1) != 0 ? QStringLiteral("*123") : QString());
    };
    capi.OnConnectActive = [](uint32_t, uint16_t) {};
    capi.OnB3Active = [&capi](uint32_t ncci, uint16_t) {
        if ((ncci & 0x00030000) == 0x00030000)
            capi.DisconnectRequest(ncci);
    };
    capi.OnB3T90Active = [](uint32_t, uint16_t) {};
    capi.OnDisconnectB3 = [](uint32_t, uint16_t) {};
    capi.setMSN({QStringLiteral("sip:4711"), QStringLiteral("tel:0301234567"), QStringLiteral("sips:12"),
                 QStringLiteral("4712"), QString()});
    capi.setWideband(true);
    capi.setPowerManagement(true);
    capi.setDoRegisterRequestRecipient(false);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::InitializeCard(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::vector<uint8_t>> messages = fuzz::SplitMessages(data, size, 32);
    for (std::vector<uint8_t>& m : messages) {
        if (!IsCallControl(m[4]))
            m[4] = kCommands[m[4] % kCommands.size()];
        if (m[5] != 0x81 && m[5] != 0x82)
            m[5] = (m[5] & 1) != 0 ? 0x81 : 0x82;
    }

    TCapi20* capi = fuzz::KeptComponent(&Configure);
    const uint32_t applId = capi->ApplID();
    uint64_t routed = capi->RoutedMessages();
    for (const auto& m : messages) {
        Check(VsimInject(applId, m.data(), uint32_t(m.size())) == 0);
        ++routed;
    }
    // A hang here is a handler that stopped the receive path.
    Check(fuzz::PumpUntilRouted(*capi, routed));
    // Whatever came in, every response and request that went out is well formed.
    Check(VsimViolationCount() == 0);
    return 0;
}
