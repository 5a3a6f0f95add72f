// Faults the fuzzer found on the receive path. These show under the
// sanitizer build (scripts/sanitize.sh asan / tsan); a plain build may pass
// them by luck, which is why each one repeats its race many times.

#include "CapiTestSupport.h"

#include <QCoreApplication>
#include <QThread>

namespace {

class ReleaseRaceRegression : public SimCapiTest {};

} // namespace

// CAPI_RELEASE frees the application's receive buffers in the driver. The
// receive thread may at that moment still be copying the message that
// CAPI_GET_MESSAGE returned from those buffers, so closing right after the
// last message was fetched read freed memory.
TEST_F(ReleaseRaceRegression, CloseWhileTheLastMessageIsBeingCopied)
{
    std::vector<uint8_t> parameters(2100, 0x55);
    const auto message = Message(0x7F, 0x82, 1, parameters); // unknown: routed to a line only
    for (int round = 0; round < 3000; ++round) {
        ASSERT_TRUE(Open()) << "round " << round;
        const uint32_t applId = capi->ApplID();
        ASSERT_EQ(VsimInject(applId, message.data(), uint32_t(message.size())), 0u);
        // The receive thread fetches before it copies and hands over, so
        // the card is empty while the copy is under way: close right then.
        while (VsimQueuedCount(applId) > 0)
            QThread::yieldCurrentThread();
        capi->CloseDevice();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        VsimReset();
    }
}
