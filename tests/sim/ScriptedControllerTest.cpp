// The simulated card played by a script: CAPI messages as they stand, the put
// log, and the silence of a scripted card.

#include "CapiExports.h"
#include "SimSteering.h"
#include "TraceSteering.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The AVM trace request for controller 1 (on or off).
Bytes TraceRequest(uint16_t applId, bool on)
{
    Bytes message = {29, 0, uint8_t(applId), uint8_t(applId >> 8), 0xFF, 0x80, 7, 0,
                     1, 0, 0, 0, 'A', 'V', 'M', '!', 0, 0, 0, 0, 1, 0, 0, 0, 4, uint8_t(on ? 1 : 0), 0, 0, 0};
    return message;
}

template <typename Condition>
bool WaitFor(Condition condition, int ms = 3000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The next received message of the application, copied (empty when none).
Bytes Fetch(uint32_t applId)
{
    void* message = nullptr;
    if (CAPI_GET_MESSAGE(applId, &message) != 0)
        return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(message);
    const size_t length = std::max<size_t>(8, bytes[0] | (bytes[1] << 8));
    return Bytes(bytes, bytes + length);
}

class ScriptedController : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VESSIK_SIM_SCRIPTED");
        unsetenv("VESSIK_SIM_PUTLOG");
        unsetenv("VESSIK_SIM_SCENARIO");
        VsimReset();
        VsimTraceReset();
    }
    void TearDown() override
    {
        if (applId != 0)
            CAPI_RELEASE(applId);
        VsimTraceReset();
        VsimReset();
        if (!putLog.empty())
            std::remove(putLog.c_str());
    }
    void Register() { ASSERT_EQ(CAPI_REGISTER(3072, 2, 7, 240, &applId), 0u); }
    std::string PutLogPath()
    {
        putLog = ::testing::TempDir() + "vessik-putlog-" + std::to_string(getpid()) + ".txt";
        std::remove(putLog.c_str());
        return putLog;
    }
    static std::string ReadFile(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    uint32_t applId = 0;
    std::string putLog;
};

TEST_F(ScriptedController, MessageIsDeliveredAsItStandsWithTheApplicationsId)
{
    // A CONNECT_IND whose Length word claims 0x30 octets and whose ApplID is
    // another application's; the card corrects only the ApplID.
    ASSERT_EQ(VsimTraceSetScenario("MSG 30 00 77 77 02 82 05 00 01 01 00 00 04\n"), 0u);
    Register();
    ASSERT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 1; }));
    const Bytes got = Fetch(applId);
    ASSERT_EQ(got.size(), 0x30u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 13),
              (Bytes{0x30, 0x00, uint8_t(applId), uint8_t(applId >> 8), 0x02, 0x82, 0x05, 0x00, 0x01, 0x01, 0x00,
                     0x00, 0x04}));
    EXPECT_EQ(Bytes(got.begin() + 13, got.end()), Bytes(0x30 - 13, 0)); // nothing beyond the script's octets
}

TEST_F(ScriptedController, ShortLengthWordAndUnknownCommandsPassUnchanged)
{
    ASSERT_EQ(VsimTraceSetScenario("MSG 02 00 00 00 99 42 01 00 AA BB\n"
                                   "MSG 08 00 00 00 FF 82 02 00\n"),
              0u);
    Register();
    ASSERT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 2; }));
    void* message = nullptr;
    ASSERT_EQ(CAPI_GET_MESSAGE(applId, &message), 0u);
    const uint8_t* first = static_cast<const uint8_t*>(message);
    EXPECT_EQ(Bytes(first, first + 10),
              (Bytes{0x02, 0x00, uint8_t(applId), uint8_t(applId >> 8), 0x99, 0x42, 0x01, 0x00, 0xAA, 0xBB}));
    EXPECT_EQ(Fetch(applId), (Bytes{8, 0, uint8_t(applId), uint8_t(applId >> 8), 0xFF, 0x82, 2, 0}));
}

TEST_F(ScriptedController, ReplayStartsAtRegistrationAndKeepsItsPauses)
{
    ASSERT_EQ(VsimTraceSetScenario("# two indications 300 ms apart\n"
                                   "MSG 08 00 00 00 FF 82 01 00\n"
                                   "wait 300\n"
                                   "MSG 08 00 00 00 FF 82 02 00\n"),
              0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(VsimApplicationCount(), 0u); // nothing to deliver to yet
    const auto start = std::chrono::steady_clock::now();
    Register();
    ASSERT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    EXPECT_EQ(Fetch(applId)[6], 1);
    EXPECT_EQ(Fetch(applId)[6], 2);
    EXPECT_TRUE(WaitFor([] { return VsimScriptPlaying(0) == 0; }));
}

TEST_F(ScriptedController, FramesWaitForTheTraceRequestAndKeepTheirPlace)
{
    ASSERT_EQ(VsimTraceSetScenario("MSG 08 00 00 00 02 82 01 00\n"
                                   "R 02 FF 03 08 01 05 05\n"
                                   "MSG 08 00 00 00 02 82 02 00\n"),
              0u);
    Register();
    ASSERT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(VsimQueuedCount(applId), 1u); // the frame holds the replay
    EXPECT_EQ(Fetch(applId)[6], 1);

    Bytes request = TraceRequest(uint16_t(applId), true);
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, request.data()), 0u);
    ASSERT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 2; }));
    const Bytes frame = Fetch(applId);
    ASSERT_GE(frame.size(), 8u);
    EXPECT_EQ(frame[4], 0xFF); // the trace's MANUFACTURER_IND
    EXPECT_EQ(frame[5], 0x82);
    EXPECT_EQ(Bytes(frame.end() - 7, frame.end()), (Bytes{0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05}));
    EXPECT_EQ(Fetch(applId)[6], 2);
}

TEST_F(ScriptedController, ScenarioWithoutMessagesStillStartsWithTheTrace)
{
    ASSERT_EQ(VsimTraceSetScenario("R 02 FF 03 08 01 05 05\n"), 0u);
    Register();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(VsimQueuedCount(applId), 0u);
    EXPECT_EQ(VsimScriptPlaying(applId), 0);
    Bytes request = TraceRequest(uint16_t(applId), true);
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, request.data()), 0u);
    EXPECT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) == 1; }));
}

TEST_F(ScriptedController, ReleaseStopsAReplayThatWaitsForTheTrace)
{
    ASSERT_EQ(VsimTraceSetScenario("T 00 81 7F\nMSG 08 00 00 00 02 82 01 00\n"), 0u);
    Register();
    EXPECT_EQ(VsimScriptPlaying(applId), 1);
    ASSERT_EQ(CAPI_RELEASE(applId), 0u);
    EXPECT_EQ(VsimScriptPlaying(applId), 0);
    applId = 0;
}

TEST_F(ScriptedController, PutLogHoldsEveryPutMessageWholeInUpperCaseHex)
{
    VsimSetPutLogFile(PutLogPath().c_str());
    Register();
    Bytes listen = {26, 0, uint8_t(applId), uint8_t(applId >> 8), 0x05, 0x80, 0x01, 0x00, 1, 0, 0, 0,
                    0xFF, 0x03, 0, 0, 0x3E, 0, 0x01, 0x00, 0, 0, 0, 0, 0, 0};
    Bytes alert = {12, 0, uint8_t(applId), uint8_t(applId >> 8), 0x01, 0x80, 0xAB, 0xCD, 0x01, 0x01, 0, 0};
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, listen.data()), 0u);
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, alert.data()), 0u);
    char id[16];
    std::snprintf(id, sizeof id, "%02X %02X", applId & 0xFF, applId >> 8);
    EXPECT_EQ(ReadFile(putLog), std::string("1A 00 ") + id + " 05 80 01 00 01 00 00 00 FF 03 00 00 3E 00 01 00 00 00 00 "
                                                         "00 00 00\n"
                                    + "0C 00 " + id + " 01 80 AB CD 01 01 00 00\n");
}

TEST_F(ScriptedController, EnvironmentSetsThePutLogAndScriptedModeAtAReset)
{
    setenv("VESSIK_SIM_PUTLOG", PutLogPath().c_str(), 1);
    setenv("VESSIK_SIM_SCRIPTED", "1", 1);
    VsimReset();
    unsetenv("VESSIK_SIM_PUTLOG");
    unsetenv("VESSIK_SIM_SCRIPTED");
    Register();
    // A trace request without a scenario: a scripted card plays no demo.
    Bytes request = TraceRequest(uint16_t(applId), true);
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, request.data()), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(VsimQueuedCount(applId), 0u);
    char id[16];
    std::snprintf(id, sizeof id, "%02X %02X", applId & 0xFF, applId >> 8);
    EXPECT_EQ(ReadFile(putLog), std::string("1D 00 ") + id
                                    + " FF 80 07 00 01 00 00 00 41 56 4D 21 00 00 00 00 01 00 00 00 04 01 00 00 00\n");
}

TEST_F(ScriptedController, WithoutScriptedModeTheTraceRequestPlaysTheDemo)
{
    Register();
    Bytes request = TraceRequest(uint16_t(applId), true);
    ASSERT_EQ(CAPI_PUT_MESSAGE(applId, request.data()), 0u);
    EXPECT_TRUE(WaitFor([this] { return VsimQueuedCount(applId) > 0; }));
}

} // namespace
