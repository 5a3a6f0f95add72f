#pragma once
// What the fuzz targets that drive a TCapi20 on the simulated driver share:
// the events they assign, the input cut into CAPI messages, and one component
// kept across all inputs, as it lives in a host: call records, data handles,
// FIFOs and message numbers carry from input to input, so state left by one
// input meets the next. The kept component's card is scripted: it sends
// nothing of its own.

#include "SimSteering.h"
#include "TCapiThread.h"
#include "TFCapi20.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#ifndef VESSIK_SIM_LIBRARY
#error "VESSIK_SIM_LIBRARY names the simulated driver library"
#endif

namespace fuzz {

inline void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

inline volatile size_t g_sink = 0;

inline void Touch(const QString& text) { g_sink = g_sink + size_t(text.size()); }

// Every event with text or data assigned, so each handler goes all the way.
inline void AssignEvents(TCapi20& capi)
{
    capi.OnGetTimeStamp = [] { return QStringLiteral("00:00:00,000"); };
    capi.OnDisconnect = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnData = [](uint32_t, const uint8_t* data, uint16_t size) {
        if (size > 0) // both ends, for ASan
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
    capi.OnL3Trace = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnL3TraceCall = [](uint32_t, uint16_t, const QString& s) { Touch(s); };
    capi.OnAutoAnswer = [](uint32_t, uint16_t) {};
    capi.OnGetForwardedNumbers = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnGetForwardedNumbersEx = [](uint32_t, const QString& s) { Touch(s); };
    capi.OnMWI = [](uint32_t, const QString& a, const QString& b) { Touch(a + b); };
    capi.OnError = [](uint32_t, uint16_t) {};
}

// The input as CAPI messages back to back, each as long as its Length field
// says (clamped to at least the header and at most what is left), at most
// `most` of them; the Length field is set to what each one got.
inline std::vector<std::vector<uint8_t>> SplitMessages(const uint8_t* data, size_t size, size_t most)
{
    std::vector<std::vector<uint8_t>> messages;
    for (size_t at = 0; at < size && messages.size() < most;) {
        size_t length = size - at >= 2 ? size_t(data[at] | (data[at + 1] << 8)) : 8;
        length = std::max<size_t>(length, 8);
        const size_t take = std::min(length, size - at);
        std::vector<uint8_t> m(data + at, data + at + take);
        m.resize(take < 8 ? 8 : take, 0);
        m[0] = uint8_t(m.size());
        m[1] = uint8_t(m.size() >> 8);
        messages.push_back(std::move(m));
        at += take;
    }
    return messages;
}

// Called once from LLVMFuzzerInitialize.
inline void InitializeCard(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication application(*argc, *argv);
    VsimReset();
    VsimSetScripted(1);    // the card answers nothing of its own
    VsimSetPutLogLimit(0); // millions of responses: keep none
}

inline TCapi20*& KeptPointer()
{
    static TCapi20* capi = nullptr;
    return capi;
}

// The component, opened; `configure` runs once, when it is made. A handler
// may have closed the device (a fatal driver result): it is opened again.
inline TCapi20* KeptComponent(void (*configure)(TCapi20&))
{
    TCapi20*& capi = KeptPointer();
    if (capi != nullptr && capi->DeviceOpened())
        return capi;
    if (capi == nullptr) {
        capi = new TCapi20(); // never destroyed: the process ends with it
        // At exit the device is closed before the driver library's own objects go.
        std::atexit([] { KeptPointer()->CloseDevice(); });
        AssignEvents(*capi);
        configure(*capi);
    }
    Check(capi->OpenDevice(QStringLiteral(VESSIK_SIM_LIBRARY)));
    Check(capi->ApplID() != 0);
    return capi;
}

// Serves the receive thread's hand-overs on this (the main) thread until the
// dispatcher has routed `count` messages in all. The event loop runs now and
// then only: the hand-over's event wakes it, at a cost per input that would
// dominate the run.
inline bool PumpUntilRouted(TCapi20& capi, uint64_t count)
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

} // namespace fuzz
