// The scenario text of the simulated card's trace.

#include "../TestNames.h"
#include "TraceScenario.h"

#include <gtest/gtest.h>

namespace {

using vsim::ParseScenario;
using Bytes = std::vector<uint8_t>;

TEST(TraceScenario, ReadsFramesPausesAndComments)
{
    const auto scenario = ParseScenario("# comment\n"
                                        "\n"
                                        "T 02 FF 03\r\n"
                                        "  R 0281 0102  \n"
                                        "wait 250\n"
                                        "\tR\t00 81 73\n");
    ASSERT_TRUE(scenario.Errors.empty()) << scenario.Errors.front();
    ASSERT_EQ(scenario.Steps.size(), 4u);
    EXPECT_TRUE(scenario.Steps[0].Sent);
    EXPECT_EQ(scenario.Steps[0].Frame, (Bytes{0x02, 0xFF, 0x03}));
    EXPECT_FALSE(scenario.Steps[1].Sent);
    EXPECT_EQ(scenario.Steps[1].Frame, (Bytes{0x02, 0x81, 0x01, 0x02}));
    EXPECT_TRUE(scenario.Steps[2].IsWait);
    EXPECT_EQ(scenario.Steps[2].WaitMs, 250u);
    EXPECT_EQ(scenario.Steps[3].Frame, (Bytes{0x00, 0x81, 0x73}));
}

TEST(TraceScenario, ReadsCapiMessagesAndTellsAScriptFromATrace)
{
    const auto script = ParseScenario("MSG 0C 00 01 00 02 82 05 00 01 01 00 00\nwait 10\nR 00 81 73\n");
    ASSERT_TRUE(script.Errors.empty()) << script.Errors.front();
    ASSERT_EQ(script.Steps.size(), 3u);
    EXPECT_TRUE(script.Steps[0].IsMessage);
    EXPECT_EQ(script.Steps[0].Frame, (Bytes{0x0C, 0, 1, 0, 0x02, 0x82, 5, 0, 1, 1, 0, 0}));
    EXPECT_FALSE(script.Steps[2].IsMessage);
    EXPECT_TRUE(vsim::IsScript(script));
    EXPECT_FALSE(vsim::IsScript(ParseScenario("R 00 81 73\nwait 5\n")));
}

TEST(TraceScenario, MessageMayBeLongerThanAFrameButNotThanItsLengthWord)
{
    std::string line = "MSG";
    for (int i = 0; i < 4000; ++i)
        line += " 00";
    EXPECT_TRUE(ParseScenario(line).Errors.empty());
    EXPECT_EQ(ParseScenario(line).Steps.at(0).Frame.size(), 4000u);
    for (int i = 4000; i < 0x10000; ++i)
        line += " 00";
    EXPECT_EQ(ParseScenario(line).Errors, std::vector<std::string>{"line 1: frame too long"});
}

struct TBadLine {
    const char* line;
    const char* error;
};

class BadScenarioLine : public ::testing::TestWithParam<TBadLine> {};

TEST_P(BadScenarioLine, IsReportedWithItsNumberAndSkipped)
{
    const std::string text = std::string("T 02 FF 03\n") + GetParam().line + "\nR 00 81 73\n";
    const auto scenario = ParseScenario(text);
    ASSERT_EQ(scenario.Errors.size(), 1u);
    EXPECT_EQ(scenario.Errors[0], std::string("line 2: ") + GetParam().error);
    EXPECT_EQ(scenario.Steps.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Lines, BadScenarioLine,
                         ::testing::Values(TBadLine{"T 02 F", "odd number of hex digits"},
                                           TBadLine{"T 0 2", "not a hex pair"},
                                           TBadLine{"R 02 XY", "not a hex pair"},
                                           TBadLine{"T", "no frame octets"},
                                           TBadLine{"wait", "wait without a time"},
                                           TBadLine{"wait -5", "wait time is not a number"},
                                           TBadLine{"waiting 5", "expected \"T\", \"R\", \"MSG\" or \"wait\""},
                                           TBadLine{"X 02", "expected \"T\", \"R\", \"MSG\" or \"wait\""},
                                           TBadLine{"MSG 08 00 00 00 02 82 01", "message shorter than 8 octets"},
                                           TBadLine{"MSG", "no frame octets"},
                                           TBadLine{"MSGS 08", "expected \"T\", \"R\", \"MSG\" or \"wait\""},
                                           TBadLine{"TR 02", "expected \"T\", \"R\", \"MSG\" or \"wait\""}),
                         [](const auto& testCase) { return CaseName(testCase.param.line, testCase.index); });

TEST(TraceScenario, LongWaitIsBounded)
{
    const auto scenario = ParseScenario("wait 99999999999999999999999999\n");
    ASSERT_EQ(scenario.Steps.size(), 1u);
    EXPECT_EQ(scenario.Steps[0].WaitMs, vsim::kMaxTraceWait);
}

TEST(TraceScenario, OverlongFrameIsRefused)
{
    std::string line = "R";
    for (size_t i = 0; i <= vsim::kMaxTraceFrame; ++i)
        line += " 00";
    const auto scenario = ParseScenario(line);
    EXPECT_TRUE(scenario.Steps.empty());
    ASSERT_EQ(scenario.Errors.size(), 1u);
    EXPECT_EQ(scenario.Errors[0], "line 1: frame too long");
}

TEST(TraceScenario, BinaryGarbageGivesErrorsNotFrames)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(char((i * 7919) & 0xFF));
    const auto scenario = ParseScenario(garbage);
    for (const auto& step : scenario.Steps)
        EXPECT_LE(step.Frame.size(), vsim::kMaxTraceFrame);
}

TEST(TraceScenario, DemoHasCallsAndPausesAndNoErrors)
{
    const auto demo = ParseScenario(vsim::DemoScenario());
    EXPECT_TRUE(demo.Errors.empty());
    size_t frames = 0, sent = 0, pauses = 0;
    for (const auto& step : demo.Steps) {
        if (step.IsWait) {
            ++pauses;
            EXPECT_GE(step.WaitMs, 100u);
            EXPECT_LE(step.WaitMs, 1000u);
        } else {
            ++frames;
            sent += step.Sent ? 1 : 0;
        }
    }
    EXPECT_GE(frames, 30u);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, frames);
    EXPECT_GE(pauses, 5u);
}

TEST(TraceScenario, MissingFileIsReported)
{
    std::string text, error;
    EXPECT_FALSE(vsim::ReadScenarioFile("/nonexistent/scenario.txt", text, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
