// Faults the fuzzer found on the receive path. These show under the
// sanitizer build (scripts/sanitize.sh asan / tsan); a plain build may pass
// them by luck, which is why each one repeats its race many times.

#include "CapiTestSupport.h"

#include <QCoreApplication>

namespace {

class ReleaseRaceRegression : public SimCapiTest {};

} // namespace

// CAPI_RELEASE frees the application's receive buffers in the driver. The
// receive thread may at that moment still be copying the message that
// CAPI_GET_MESSAGE returned from those buffers, so closing right after the
// last message was fetched read freed memory.
TEST_F(ReleaseRaceRegression, CloseWhileTheLastMessageIsBeingCopied)
{
    std::vector<uint8_t> parameters(2000, 0x55);
    const auto message = Message(0x7F, 0x82, 1, parameters); // unknown: routed to a line only
    for (int round = 0; round < 500; ++round) {
        ASSERT_TRUE(Open()) << "round " << round;
        const uint32_t applId = capi->ApplID();
        // Several, so the last one is fetched just as the main thread has
        // served the hand-over of the one before and sees the card empty.
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(VsimInject(applId, message.data(), uint32_t(message.size())), 0u);
        ASSERT_TRUE(PumpUntil([&] { return VsimQueuedCount(applId) == 0; }));
        capi->CloseDevice(); // at once: the receive thread may still hold the message
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        VsimReset();
    }
}
