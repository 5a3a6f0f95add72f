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

#include "SimSteering.h"
#include "TCapiThread.h"
#include "TFCapi20.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#ifndef VESSIK_SIM_LIBRARY
#error "VESSIK_SIM_LIBRARY names the simulated driver library"
#endif

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

volatile size_t g_sink = 0;

void Touch(const QString& text) { g_sink = g_sink + size_t(text.size()); }

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

// The application's answers, once the component has them: accept, ignore or
// reject by the indication's number, so every response path is reached.
template <typename TComponent>
void Answer(TComponent& capi, uint32_t plci, uint16_t number)
{
    if constexpr (requires { capi.ConnectResponse(plci, number, number, QString()); }) {
        const uint16_t reject = uint16_t(number % 256);
        capi.ConnectResponse(plci, reject, number, (number & 1) != 0 ? QStringLiteral("*123") : QString());
    }
}

template <typename TComponent>
void HangUp(TComponent& capi, uint32_t address)
{
    if constexpr (requires { capi.DisconnectRequest(address); })
        capi.DisconnectRequest(address);
}

void AssignEvents(TCapi20& capi)
{
    capi.OnGetTimeStamp = [] { return QStringLiteral("00:00:00,000"); };
    capi.OnConnect = [&capi](uint32_t plci, uint16_t number) { Answer(capi, plci, number); };
    capi.OnDisconnect = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnConnectActive = [](uint32_t, uint16_t) {};
    capi.OnB3Active = [&capi](uint32_t ncci, uint16_t) {
        if ((ncci & 0x00030000) == 0x00030000)
            HangUp(capi, ncci);
    };
    capi.OnB3T90Active = [](uint32_t, uint16_t) {};
    capi.OnDisconnectB3 = [](uint32_t, uint16_t) {};
    capi.OnData = [](uint32_t, const uint8_t* data, uint16_t size) {
        if (size > 0)
            g_sink = g_sink + data[0] + data[size - 1];
    };
    capi.OnInfo = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnENUM = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnDigit = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnHandset = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnStatus = [](uint32_t, TCallStatus) {};
    capi.OnCompleteOffer = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnAppTrace = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnCapiTrace = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnGetForwardedNumbers = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnGetForwardedNumbersEx = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnMWI = [](uint32_t, const QString& a, const QString& b) { Touch(a + b); };
    capi.OnError = [](uint32_t, uint16_t) {};
}

TCapi20* g_capi = nullptr;

// At exit the device is closed before the driver library's own objects go.
void CloseAtExit()
{
    if (g_capi != nullptr)
        g_capi->CloseDevice();
}

TCapi20* Component()
{
    // Never destroyed: the process ends with it.
    TCapi20*& capi = g_capi;
    if (capi != nullptr && capi->DeviceOpened())
        return capi;
    if (capi == nullptr) {
        capi = new TCapi20();
        std::atexit(&CloseAtExit);
        AssignEvents(*capi);
        // The MSN filter's prefixes, wideband and the power-management request.
        capi->setMSN({QStringLiteral("sip:4711"), QStringLiteral("tel:0301234567"), QStringLiteral("sips:12"),
                      QStringLiteral("4712"), QString()});
        capi->setWideband(true);
        capi->setPowerManagement(true);
        capi->setDoRegisterRequestRecipient(false);
    }
    // A handler may have closed the device (a fatal driver result): open again.
    Check(capi->OpenDevice(QStringLiteral(VESSIK_SIM_LIBRARY)));
    Check(capi->ApplID() != 0);
    return capi;
}

// Serves the receive thread's hand-overs on this (the main) thread until the
// dispatcher has routed `count` messages in all. The event loop runs now and
// then only: the hand-over's event wakes it, at a cost per input that would
// dominate the run.
bool PumpUntilRouted(TCapi20& capi, uint64_t count)
{
    QElapsedTimer timer;
    timer.start();
    for (uint32_t round = 1; capi.RoutedMessages() < count && capi.DeviceOpened(); ++round) {
        if (TCapiThread* thread = capi.Thread())
            thread->ServiceHandOver();
        if (round % 64 == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (timer.elapsed() > 5000)
                return false;
        } else {
            std::this_thread::yield();
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication application(*argc, *argv);
    VsimReset();
    VsimSetScripted(1);       // the card answers nothing of its own
    VsimSetPutLogLimit(0);    // millions of responses: keep none
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::vector<uint8_t>> messages;
    for (size_t at = 0; at < size && messages.size() < 32;) {
        size_t length = size - at >= 2 ? size_t(data[at] | (data[at + 1] << 8)) : 8;
        length = std::max<size_t>(length, 8);
        const size_t take = std::min(length, size - at);
        std::vector<uint8_t> m(data + at, data + at + take);
        m.resize(take < 8 ? 8 : take, 0);
        m[0] = uint8_t(m.size());
        m[1] = uint8_t(m.size() >> 8);
        if (!IsCallControl(m[4]))
            m[4] = kCommands[m[4] % kCommands.size()];
        if (m[5] != 0x81 && m[5] != 0x82)
            m[5] = (m[5] & 1) != 0 ? 0x81 : 0x82;
        messages.push_back(std::move(m));
        at += take;
    }

    TCapi20* capi = Component();
    const uint32_t applId = capi->ApplID();
    uint64_t routed = capi->RoutedMessages();
    for (const auto& m : messages) {
        Check(VsimInject(applId, m.data(), uint32_t(m.size())) == 0);
        ++routed;
    }
    // A hang here is a handler that stopped the receive path.
    Check(PumpUntilRouted(*capi, routed));
    // Whatever came in, every response and request that went out is well formed.
    Check(VsimViolationCount() == 0);
    return 0;
}
