// The simulated card through its exported driver functions.

#include "CapiExports.h"
#include "SimSteering.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Message(uint16_t applId, uint8_t command, uint8_t subcommand, size_t parameters = 0)
{
    const size_t length = 8 + parameters;
    std::vector<uint8_t> message(length, 0);
    message[0] = uint8_t(length);
    message[1] = uint8_t(length >> 8);
    message[2] = uint8_t(applId);
    message[3] = uint8_t(applId >> 8);
    message[4] = command;
    message[5] = subcommand;
    return message;
}

class SimController : public ::testing::Test {
protected:
    void SetUp() override
    {
        VsimReset();
        ASSERT_EQ(CAPI_REGISTER(3072, 2, 7, 240, &applId), 0u);
    }
    void TearDown() override { VsimReset(); }
    uint32_t applId = 0;
};

TEST_F(SimController, ReportsAnInstalledAvmCardWithOneController)
{
    EXPECT_EQ(CAPI_INSTALLED(), 0u);
    char manufacturer[64] = {};
    CAPI_GET_MANUFACTURER(manufacturer);
    EXPECT_NE(std::string(manufacturer).find("AVM"), std::string::npos);
    uint8_t profile[64] = {};
    ASSERT_EQ(CAPI_GET_PROFILE(profile, 0), 0u);
    EXPECT_EQ(profile[0] | (profile[1] << 8), 1);
    ASSERT_EQ(CAPI_GET_PROFILE(profile, 1), 0u);
    EXPECT_NE(profile[4] & 0x10, 0); // supplementary services
    EXPECT_NE(CAPI_GET_PROFILE(profile, 2), 0u);
    uint32_t version[4] = {};
    CAPI_GET_VERSION(&version[0], &version[1], &version[2], &version[3]);
    EXPECT_EQ(version[0], 2u);
    EXPECT_EQ(version[1], 0u);
    EXPECT_STREQ(Get_Fatal(), "");
}

TEST_F(SimController, GetMessageHandsOutInjectedMessagesInOrder)
{
    void* message = nullptr;
    EXPECT_EQ(CAPI_GET_MESSAGE(applId, &message), 0x1104u);
    auto first = Message(0, 0xFF, 0x82, 4);
    first[8] = 1;
    auto second = Message(0, 0xFF, 0x82, 4);
    second[8] = 2;
    ASSERT_EQ(VsimInject(applId, first.data(), uint32_t(first.size())), 0u);
    ASSERT_EQ(VsimInject(0, second.data(), uint32_t(second.size())), 0u);
    EXPECT_EQ(VsimQueuedCount(applId), 2u);
    ASSERT_EQ(CAPI_GET_MESSAGE(applId, &message), 0u);
    const uint8_t* bytes = static_cast<const uint8_t*>(message);
    EXPECT_EQ(bytes[8], 1);
    EXPECT_EQ(bytes[2] | (bytes[3] << 8), int(applId)); // addressed to the application
    ASSERT_EQ(CAPI_GET_MESSAGE(applId, &message), 0u);
    EXPECT_EQ(static_cast<const uint8_t*>(message)[8], 2);
    EXPECT_EQ(CAPI_GET_MESSAGE(applId, &message), 0x1104u);
    EXPECT_EQ(VsimFetchedCount(), 2u);
}

TEST_F(SimController, InjectRefusesMismatchedLengthsAndUnknownApplications)
{
    auto message = Message(0, 0xFF, 0x82, 4);
    EXPECT_EQ(VsimInject(applId, message.data(), uint32_t(message.size() - 1)), 0x1108u);
    EXPECT_EQ(VsimInject(applId + 5, message.data(), uint32_t(message.size())), 0x1101u);
    EXPECT_EQ(VsimInject(applId, nullptr, 8), 0x1108u);
}

TEST_F(SimController, WaitBlocksUntilAMessageAndEndsWithRelease)
{
    std::atomic<uint32_t> result{0xFFFFFFFF};
    std::thread waiter([&] { result = CAPI_WAIT_FOR_SIGNAL(applId); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(result.load(), 0xFFFFFFFFu);
    auto message = Message(0, 0xFF, 0x82);
    VsimInject(applId, message.data(), uint32_t(message.size()));
    waiter.join();
    EXPECT_EQ(result.load(), 0u);

    std::thread second([&] {
        void* got = nullptr;
        CAPI_GET_MESSAGE(applId, &got);
        result = CAPI_WAIT_FOR_SIGNAL(applId);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(CAPI_RELEASE(applId), 0u);
    second.join();
    EXPECT_EQ(result.load(), 0x1101u);
    EXPECT_EQ(CAPI_RELEASE(applId), 0x1101u);
}

TEST_F(SimController, ReleaseDropsWhatIsStillQueued)
{
    auto message = Message(0, 0xFF, 0x82);
    for (int i = 0; i < 3; ++i)
        VsimInject(applId, message.data(), uint32_t(message.size()));
    EXPECT_EQ(CAPI_RELEASE(applId), 0u);
    EXPECT_EQ(VsimDiscardedCount(), 3u);
}

struct TPutCase {
    const char* name;
    int applIdOffset;
    uint8_t command;
    uint8_t subcommand;
    uint16_t lengthField; // 0: the real length
    uint32_t result;
};

class SimPut : public SimController, public ::testing::WithParamInterface<TPutCase> {};

TEST_P(SimPut, ChecksEveryPut)
{
    const TPutCase& put = GetParam();
    auto message = Message(uint16_t(applId + uint32_t(put.applIdOffset)), put.command, put.subcommand, 4);
    if (put.lengthField != 0) {
        message[0] = uint8_t(put.lengthField);
        message[1] = uint8_t(put.lengthField >> 8);
    }
    EXPECT_EQ(CAPI_PUT_MESSAGE(applId, message.data()), put.result);
    const bool valid = put.result == 0;
    EXPECT_EQ(VsimViolationCount(), valid ? 0u : 1u);
    EXPECT_EQ(VsimPutCount(), valid ? 1u : 0u);
    if (valid) {
        uint8_t copy[16] = {};
        EXPECT_EQ(VsimGetPut(0, copy, sizeof copy), 12u);
        EXPECT_EQ(std::memcmp(copy, message.data(), 12), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Puts, SimPut,
                         ::testing::Values(TPutCase{"Request", 0, 0x05, 0x80, 0, 0},
                                           TPutCase{"Response", 0, 0xFF, 0x83, 0, 0},
                                           TPutCase{"Indication", 0, 0x02, 0x82, 0, 0x1108},
                                           TPutCase{"UnknownCommand", 0, 0x07, 0x80, 0, 0x1108},
                                           TPutCase{"ResetB3", 0, 0x87, 0x80, 0, 0},
                                           TPutCase{"Command81", 0, 0x81, 0x80, 0, 0x1108},
                                           TPutCase{"Command85", 0, 0x85, 0x83, 0, 0x1108},
                                           TPutCase{"ShortLength", 0, 0x05, 0x80, 7, 0x1108},
                                           TPutCase{"HugeLength", 0, 0x05, 0x80, 0xFFFF, 0x1108},
                                           TPutCase{"ForeignApplId", 1, 0x05, 0x80, 0, 0x1108}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(SimController, PutToAnUnknownApplicationIsRefused)
{
    auto message = Message(uint16_t(applId), 0x05, 0x80);
    EXPECT_EQ(CAPI_PUT_MESSAGE(applId + 1, message.data()), 0x1101u);
}

uint32_t g_hookApplId = 0;
uint32_t g_hookLength = 0;

TEST_F(SimController, ManufacturerRequestsReachTheHook)
{
    VsimSetManufacturerRequestHandler([](uint32_t id, const uint8_t*, uint32_t length) {
        g_hookApplId = id;
        g_hookLength = length;
    });
    auto message = Message(uint16_t(applId), 0xFF, 0x80, 21);
    EXPECT_EQ(CAPI_PUT_MESSAGE(applId, message.data()), 0u);
    EXPECT_EQ(g_hookApplId, applId);
    EXPECT_EQ(g_hookLength, 29u);
    VsimSetManufacturerRequestHandler(nullptr);
}

TEST_F(SimController, SteeringForcesResultsAndFaults)
{
    VsimSetResult(VsimInstalled, 1);
    EXPECT_NE(CAPI_INSTALLED(), 0u);
    VsimSetResult(VsimInstalled, 0);
    EXPECT_EQ(CAPI_INSTALLED(), 0u);
    VsimSetThrow(VsimRelease, 1);
    EXPECT_ANY_THROW(CAPI_RELEASE(applId));
    VsimSetThrow(VsimRelease, 0);
    EXPECT_EQ(VsimCallCount(VsimRelease), 1u);
    VsimSetManufacturer("KORVAN");
    VsimSetFatalText("gone");
    char manufacturer[64] = {};
    CAPI_GET_MANUFACTURER(manufacturer);
    EXPECT_STREQ(manufacturer, "KORVAN");
    EXPECT_STREQ(Get_Fatal(), "gone");
}

} // namespace
