// The simulated card's trace played into the component: frames in order,
// every indication answered, the KORVAN form, trace on and off.

#include "TraceTestSupport.h"

#include <QRegularExpression>

namespace {

constexpr char kScenario[] = R"(# a short call
R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
wait 5
T 00 81 00 00 08 01 85 01 18 01 89
R 00 81 01 02
T 00 81 02 00 08 01 85 07
)";

VsimTraceCounts Counts()
{
    VsimTraceCounts counts = {};
    VsimTraceGetCounts(0, &counts);
    return counts;
}

using Playback = TraceTest;

TEST_F(Playback, ScenarioPlaysOnceInOrderAndEveryFrameIsAnswered)
{
    ASSERT_EQ(VsimTraceSetScenario(kScenario), 0u);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return Counts().Answered == 4; }));
    EXPECT_EQ(traceLines, (QStringList{"T: R: setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 ",
                                       "T: T: alerting(05): 00 81 00 00 08 01 85 01 18 01 89 ",
                                       "T: T: connect(05): 00 81 02 00 08 01 85 07 "}));
    ASSERT_TRUE(PumpUntil([] { return VsimTraceActive(0) == 0; })); // played once
    const VsimTraceCounts counts = Counts();
    EXPECT_EQ(counts.Sent, 4u);
    EXPECT_EQ(counts.Unanswered, 0u);
    EXPECT_EQ(counts.Wrong, 0u);
}

TEST_F(Playback, LayerTwoFramesArriveWithTheDisplayOn)
{
    VsimTraceSetScenario(kScenario);
    ASSERT_TRUE(Open());
    capi->SetL2Display(true);
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return traceLines.size() == 4; }));
    EXPECT_EQ(traceLines[2], QLatin1String("T: R: RR(40): 00 81 01 02 "));
}

TEST_F(Playback, TraceOffStopsTheFrames)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\nwait 20\n");
    VsimTraceSetLooping(1);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return traceLines.size() >= 3; }));
    EXPECT_EQ(VsimTraceActive(0), 1);
    capi->StopTrace();
    EXPECT_EQ(VsimTraceActive(0), 0);
    PumpUntil([] { return false; }, 100); // answers of what was already under way
    const VsimTraceCounts stopped = Counts();
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Counts().Sent, stopped.Sent);
    EXPECT_EQ(stopped.Answered, stopped.Sent);
    EXPECT_EQ(stopped.Wrong, 0u);
}

TEST_F(Playback, SecondStartKeepsOnePlayer)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\nwait 30\n");
    VsimTraceSetLooping(1);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return traceLines.size() >= 2; }));
    capi->StopTrace();
    PumpUntil([] { return false; }, 100);
    const VsimTraceCounts counts = Counts();
    EXPECT_EQ(counts.Answered, counts.Sent);
    EXPECT_EQ(qsizetype(counts.Sent), traceLines.size());
}

TEST_F(Playback, UnpacedLoopDeliversEveryFrameThroughTheWindow)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\nwait 1000\nT 02 FF 03 08 01 85 01\n");
    VsimTraceSetLooping(1);
    VsimTraceSetPaced(0);
    VsimTraceSetWindow(8);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return traceLines.size() >= 2000; }));
    capi->StopTrace();
    ASSERT_TRUE(PumpUntil([] { return Counts().Unanswered == 0; }));
    const VsimTraceCounts counts = Counts();
    EXPECT_EQ(counts.Answered, counts.Sent);
    EXPECT_EQ(counts.Wrong, 0u);
    EXPECT_EQ(qsizetype(counts.Sent), traceLines.size());
    // The frames alternate as the scenario has them: none lost or reordered.
    for (qsizetype i = 0; i < traceLines.size(); ++i)
        ASSERT_TRUE(traceLines[i].startsWith(i % 2 == 0 ? QLatin1String("T: R: setup") : QLatin1String("T: T: alerting")))
            << i;
}

TEST_F(Playback, KorvanDriverTracesInItsOwnForm)
{
    VsimSetManufacturer("KORVAN VoIP CAPI");
    VsimTraceSetScenario(kScenario);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return Counts().Answered == 4; }));
    ASSERT_EQ(traceLines.size(), 12);
    EXPECT_EQ(traceLines[0], QString(43, u'-'));
    EXPECT_TRUE(traceLines[1].contains(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d: R: Q.931 SETUP$"))))
        << traceLines[1].toStdString();
    EXPECT_EQ(traceLines[2], QLatin1String("02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 "));
    EXPECT_TRUE(traceLines[7].endsWith(QLatin1String(": R: Q.921")));
    EXPECT_TRUE(capi->KorvanTraceMode());
    // The driver's own greeting (numbers from 0xA000) is answered with its
    // kinds; every trace indication with 14.
    size_t traceAnswers = 0;
    for (const auto& response : Responses()) {
        if (MessageNumberOf(response) >= 0xA000)
            continue;
        EXPECT_EQ(response.back(), 14);
        ++traceAnswers;
    }
    EXPECT_EQ(traceAnswers, 4u);
    EXPECT_EQ(Counts().Wrong, 0u);
}

TEST_F(Playback, AnswersWithWrongNumbersAreCounted)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\n");
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([] { return Counts().Answered == 1; }));
    // A response to an indication the card never sent.
    capi->ManufacturerResponse(1, 4711, 0, 0x214D5641);
    const VsimTraceCounts counts = Counts();
    EXPECT_EQ(counts.Wrong, 1u);
    EXPECT_EQ(counts.Answered, 1u);
}

TEST_F(Playback, ReleaseEndsThePlayerAndKeepsTheCounts)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\nwait 10\n");
    VsimTraceSetLooping(1);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    ASSERT_TRUE(PumpUntil([&] { return traceLines.size() >= 2; }));
    capi->CloseDevice();
    EXPECT_EQ(VsimTraceActive(0), 0);
    const VsimTraceCounts counts = Counts();
    EXPECT_GE(counts.Sent, 2u);
    EXPECT_EQ(counts.Answered + counts.Unanswered, counts.Sent);
    EXPECT_EQ(counts.Wrong, 0u);
}

TEST_F(Playback, RequestForAnotherControllerStartsNothing)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\n");
    capi->setController(2);
    ASSERT_TRUE(Open());
    capi->StartTrace();
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(VsimTraceActive(0), 0);
    EXPECT_TRUE(traceLines.isEmpty());
}

} // namespace
