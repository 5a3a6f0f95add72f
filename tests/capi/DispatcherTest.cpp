#include "../TestNames.h"
#include "CapiTestSupport.h"
#include "TCapiThread.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <atomic>
#include <thread>

namespace {

using Dispatcher = SimCapiTest;

struct TRouteCase {
    uint8_t command;
    uint8_t subcommand;
    const char* line; // the AppTrace line, or "" for a silent handler
};

class Routing : public SimCapiTest, public ::testing::WithParamInterface<TRouteCase> {};

TEST_P(Routing, WritesTheRoutingLine)
{
    const TRouteCase& route = GetParam();
    ASSERT_TRUE(Open());
    lines.Clear();
    Inject(Message(route.command, route.subcommand));
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == 1; }));
    const QStringList app = lines.AppLines().filter(QRegularExpression(QStringLiteral("^(?!CAPI thread)")));
    if (*route.line == 0)
        EXPECT_TRUE(app.isEmpty()) << app.join(u'|').toStdString();
    else
        EXPECT_EQ(app, QStringList(QLatin1String(route.line)));
    EXPECT_EQ(capi->Thread()->PooledInUse(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Routing,
    ::testing::Values(TRouteCase{0x05, 0x83, "Unknown Listen message: 131"},
                      TRouteCase{0x07, 0x82, "unknown message: 7"},
                      TRouteCase{0x81, 0x82, "unknown message: 129"},
                      TRouteCase{0x85, 0x81, "unknown message: 133"},
                      TRouteCase{0xFF, 0x83, "Unknown Manufacturer message: 131"},
                      TRouteCase{0x01, 0x82, "Unknown Alert message: 130"},
                      TRouteCase{0x02, 0x80, "Unknown Connect Message: 128"},
                      TRouteCase{0x03, 0x81, "Unknown Connect Active message: 129"},
                      TRouteCase{0x04, 0x83, "Unknown Disconnect message: 131"},
                      TRouteCase{0x08, 0x80, "Unknown Info message: 128"},
                      TRouteCase{0x41, 0x82, "Unknown Select B Protocol message: 130"},
                      TRouteCase{0x80, 0x83, "Unknown Facility message: 131"},
                      TRouteCase{0x82, 0x80, "Unknown Connect B3 message: 128"},
                      TRouteCase{0x83, 0x81, "Unknown Connect B3 Active message: 129"},
                      TRouteCase{0x84, 0x80, "Unknown Disconnect B3 message: 128"},
                      TRouteCase{0x88, 0x81, "Unknown Connect B3 T90 message: 129"},
                      TRouteCase{0x04, 0x81, "Disconnect Confirm"},
                      TRouteCase{0x84, 0x81, "Disconnect B3 Confirm"},
                      TRouteCase{0x05, 0x81, "Listen Confirm"},
                      TRouteCase{0xFF, 0x82, ""},
                      TRouteCase{0x02, 0x81, "Connect Confirm"}),
                         [](const auto& testCase) {
                             return CaseName("Command " + HexOctet(testCase.param.command) + " " + HexOctet(testCase.param.subcommand),
                                             testCase.index);
                         });

TEST_F(Dispatcher, UnknownCommandIsDumpedWhole)
{
    ASSERT_TRUE(Open());
    lines.Clear();
    Inject(Message(0x07, 0x82, 0x1234, {0xAA, 0xBB}));
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == 1; }));
    const QString applId = QStringLiteral("%1").arg(capi->ApplID(), 2, 16, QLatin1Char('0')).toUpper();
    EXPECT_TRUE(lines.CapiLines().contains(QStringLiteral("Unknown: 0A 00 ") + applId
                                           + QStringLiteral(" 00 07 82 34 12 AA BB ")))
        << lines.CapiLines().join(u'|').toStdString();
}

TEST_F(Dispatcher, MessageHandlerIsAskedOnlyWhenTheQueueWasEmpty)
{
    std::atomic<int> handOvers{0};
    std::atomic<QObject*> sender{nullptr};
    capi->OnMsgHandler = [&](QObject* from) {
        sender = from;
        ++handOvers;
    };
    ASSERT_TRUE(Open());
    lines.Clear();
    for (uint8_t command : {0x07, 0x09, 0x0A, 0x0B, 0x0C})
        Inject(Message(command, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 5; }));
    EXPECT_EQ(handOvers.load(), 1);
    EXPECT_EQ(sender.load(), capi->Thread());
    EXPECT_EQ(capi->RoutedMessages(), 0u);
    capi->Thread()->DispatchQueue();
    EXPECT_EQ(lines.AppLines().filter(QStringLiteral("unknown message")),
              QStringList({QStringLiteral("unknown message: 7"), QStringLiteral("unknown message: 9"),
                           QStringLiteral("unknown message: 10"), QStringLiteral("unknown message: 11"),
                           QStringLiteral("unknown message: 12")}));
    // The next message meets an empty queue again.
    Inject(Message(0x07, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return handOvers.load() == 2; }));
}

TEST_F(Dispatcher, ThirtyFourthMessageInFlightGetsABufferOfItsOwn)
{
    capi->OnMsgHandler = [](QObject*) {};
    ASSERT_TRUE(Open());
    for (int i = 0; i < 34; ++i)
        Inject(Message(0xFF, 0x82, uint16_t(i), std::vector<uint8_t>(size_t(i), 0x55)));
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 34; }));
    EXPECT_EQ(capi->Thread()->PooledInUse(), TCapiThread::kPoolSize);
    EXPECT_EQ(capi->Thread()->UnpooledCount(), 1u);
    capi->Thread()->DispatchQueue();
    EXPECT_EQ(capi->RoutedMessages(), 34u);
    EXPECT_EQ(capi->Thread()->PooledInUse(), 0);
    EXPECT_EQ(capi->Thread()->QueuedCount(), 0u);
    // Pool buffers are reused: the next round needs no buffer of its own.
    for (int i = 0; i < 33; ++i)
        Inject(Message(0xFF, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 33; }));
    EXPECT_EQ(capi->Thread()->UnpooledCount(), 1u);
}

TEST_F(Dispatcher, NestedDispatchRoutesNothing)
{
    capi->OnMsgHandler = [](QObject*) {};
    ASSERT_TRUE(Open());
    for (int i = 0; i < 3; ++i)
        Inject(Message(0x07, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 3; }));
    std::vector<std::pair<uint64_t, uint64_t>> nested;
    capi->OnAppTrace = [&](uint32_t, const QString&) {
        const uint64_t before = capi->RoutedMessages();
        capi->Thread()->DispatchQueue();
        nested.emplace_back(before, capi->RoutedMessages());
    };
    capi->Thread()->DispatchQueue();
    capi->OnAppTrace = nullptr;
    ASSERT_EQ(nested.size(), 3u);
    for (const auto& [before, after] : nested)
        EXPECT_EQ(before, after);
    EXPECT_EQ(capi->RoutedMessages(), 3u);
    EXPECT_EQ(capi->Thread()->DispatchDepth(), 0);
}

TEST_F(Dispatcher, DataB3BypassesTheQueueWithDirectInData)
{
    std::atomic<int> handOvers{0};
    capi->OnMsgHandler = [&](QObject*) { ++handOvers; };
    ASSERT_TRUE(Open());
    Inject(Message(0x86, 0x82, 1, std::vector<uint8_t>(14, 0)));
    ASSERT_TRUE(PumpUntil([&] { return VsimFetchedCount() == 1; }));
    EXPECT_EQ(capi->Thread()->QueuedCount(), 0u);
    EXPECT_EQ(handOvers.load(), 0);
    capi->setDirectInData(false);
    Inject(Message(0x86, 0x82, 2, std::vector<uint8_t>(14, 0)));
    // The message is queued before its hand-over reaches the main thread: wait for both.
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 1 && handOvers.load() == 1; }));
    EXPECT_EQ(handOvers.load(), 1);
    capi->Thread()->DispatchQueue();
    EXPECT_EQ(capi->RoutedMessages(), 1u);
}

TEST_F(Dispatcher, MessageQueuedAtReleaseIsRoutedBeforeTheThreadGoes)
{
    capi->OnMsgHandler = [](QObject*) {}; // nothing drains until Release
    ASSERT_TRUE(Open());
    Inject(Message(0x07, 0x82));
    Inject(Message(0x09, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return capi->Thread()->QueuedCount() == 2; }));
    lines.Clear();
    capi->CloseDevice();
    const QStringList app = lines.AppLines();
    const qsizetype first = app.indexOf(QStringLiteral("unknown message: 7"));
    const qsizetype second = app.indexOf(QStringLiteral("unknown message: 9"));
    ASSERT_GE(first, 0) << app.join(u'|').toStdString();
    EXPECT_GT(second, first);
    EXPECT_LT(second, app.indexOf(QStringLiteral("UnloadCAPI")));
    EXPECT_EQ(capi->RoutedMessages(), 2u);
}

TEST_F(Dispatcher, ReleaseServesAHandOverThatWaitsForTheMainThread)
{
    ASSERT_TRUE(Open());
    Inject(Message(0x07, 0x82));
    // The receive thread now waits for this thread, which does not run its
    // event loop but closes the device.
    while (VsimFetchedCount() != 1)
        std::this_thread::yield();
    capi->CloseDevice();
    EXPECT_EQ(capi->RoutedMessages(), 1u);
    EXPECT_FALSE(capi->DeviceOpened());
}

TEST_F(Dispatcher, CloseFromInsideAHandlerDoesNotDeadlock)
{
    std::atomic<bool> closed{false};
    capi->OnAppTrace = [&](uint32_t, const QString& line) {
        if (line.contains(QStringLiteral("unknown message: 7")) && !closed) {
            closed = true;
            capi->CloseDevice();
        }
    };
    ASSERT_TRUE(Open());
    Inject(Message(0x07, 0x82));
    Inject(Message(0x09, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return closed && !capi->DeviceOpened(); }));
    EXPECT_EQ(VsimApplicationCount(), 0u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Open()); // opens again after a close from inside a handler
}

TEST_F(Dispatcher, FloodDuringCloseNeitherDeadlocksNorLosesAMessage)
{
    ASSERT_TRUE(Open());
    constexpr int kFlood = 100000;
    const std::vector<uint8_t> trace =
        Message(0xFF, 0x82, 7, {0x01, 0, 0, 0, 'A', 'V', 'M', '!', 0, 0, 0, 0, 1, 0, 0, 0, 6, 0x02, 0x01, 0x08, 0x01, 0x05, 0x05});
    std::atomic<int> accepted{0};
    std::atomic<int> refused{0};
    std::thread injector([&] {
        for (int i = 0; i < kFlood; ++i) {
            if (VsimInject(0, trace.data(), uint32_t(trace.size())) == 0)
                ++accepted;
            else
                ++refused;
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() >= 20000; }, 60000));
    capi->CloseDevice();
    injector.join();
    EXPECT_FALSE(capi->DeviceOpened());
    EXPECT_EQ(uint64_t(accepted.load()), VsimFetchedCount() + VsimDiscardedCount());
    EXPECT_EQ(accepted.load() + refused.load(), kFlood);
    // Every message that left the driver reached the dispatcher.
    EXPECT_EQ(capi->RoutedMessages(), VsimFetchedCount());
}

} // namespace
