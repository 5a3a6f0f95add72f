// One remote-CAPI session on the simulated controller, driven through a
// socket pair: registration, messages both ways, B3 data inline on the
// stream and behind the 64-bit pointer towards the driver, and the ways a
// session ends.

#include "CapiDriverLibrary.h"
#include "RemoteFraming.h"
#include "RemoteSession.h"
#include "SimSteering.h"

#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kRegister = {0x00, 0x00, 0x00, 0x00, 0xF2, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x08, 0x02, 0x00, 0x07, 0x00, 0x00, 0x08, 0x02};

class RemoteSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uint32_t error = 0;
        ASSERT_EQ(driver.Load(QStringLiteral(VESSIK_SIM_LIBRARY), error), TCapiDriverLibrary::TLoadResult::Loaded);
        VsimReset();
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        client = pair[0];
        session = std::make_unique<remote::TRemoteSession>(pair[1], driver.Entry(), 1, "test",
                                                           [this](const std::string& line) {
                                                               std::lock_guard<std::mutex> guard(logLock);
                                                               log.push_back(line);
                                                           });
    }
    void TearDown() override
    {
        session.reset();
        if (client >= 0)
            ::close(client);
        VsimReset();
    }

    void Send(const Bytes& payload)
    {
        Bytes frame;
        remote::AppendFrame(frame, payload.data(), payload.size());
        ASSERT_EQ(::send(client, frame.data(), frame.size(), MSG_NOSIGNAL), ssize_t(frame.size()));
    }
    // The next payload from the server, or empty after the time-out.
    Bytes Receive(int timeoutMs = 5000)
    {
        Bytes payload;
        while (!assembler.Next(payload)) {
            pollfd descriptor = {client, POLLIN, 0};
            if (::poll(&descriptor, 1, timeoutMs) <= 0)
                return {};
            uint8_t chunk[4096];
            const ssize_t count = ::recv(client, chunk, sizeof chunk, 0);
            if (count <= 0)
                return {};
            assembler.Feed(chunk, size_t(count));
        }
        return payload;
    }
    uint32_t Register()
    {
        Send(kRegister);
        const Bytes confirmation = Receive();
        EXPECT_EQ(confirmation, (Bytes{0, 0, 0, 0, 0xF3, 0xFF, 0x01, 0x00, 0x00, 0x00}));
        return session->ApplId();
    }
    bool WaitFinished()
    {
        for (int i = 0; i < 500 && !session->Finished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return session->Finished();
    }
    std::string LastLog()
    {
        std::lock_guard<std::mutex> guard(logLock);
        return log.empty() ? std::string() : log.back();
    }

    TCapiDriverLibrary driver;
    std::unique_ptr<remote::TRemoteSession> session;
    int client = -1;
    remote::TFrameAssembler assembler;
    std::mutex logLock;
    std::vector<std::string> log;
};

TEST_F(RemoteSessionTest, RegistersAndRelaysMessagesBothWays)
{
    session->Start();
    const uint32_t applId = Register();
    ASSERT_NE(applId, 0u);
    EXPECT_EQ(VsimApplicationCount(), 1u);
    uint32_t sizes[4] = {};
    VsimRegisterParameters(&sizes[0], &sizes[1], &sizes[2], &sizes[3]);
    EXPECT_EQ(sizes[1], 2u);
    EXPECT_EQ(sizes[2], 7u);
    EXPECT_EQ(sizes[3], 2048u);

    // A LISTEN_REQ with the client's own ApplID reaches the driver with the session's.
    Send({26, 0, 0x63, 0, 0x05, 0x80, 3, 0, 1, 0, 0, 0, 0xFF, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 200 && VsimPutCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(VsimPutCount(), 1u);
    uint8_t put[64] = {};
    ASSERT_EQ(VsimGetPut(0, put, sizeof put), 26u);
    EXPECT_EQ(put[2] | put[3] << 8, int(applId));
    EXPECT_EQ(VsimViolationCount(), 0u);

    // An indication for the application travels as it stands.
    const Bytes indication = {14, 0, 0, 0, 0x02, 0x82, 5, 0, 1, 1, 0, 0, 0x10, 0};
    ASSERT_EQ(VsimInject(applId, indication.data(), uint32_t(indication.size())), 0u);
    Bytes expected = indication;
    expected[2] = uint8_t(applId);
    EXPECT_EQ(Receive(), expected);
}

TEST_F(RemoteSessionTest, AnswersQueriesWithoutRegistering)
{
    session->Start();
    VsimSetManufacturer("Remote Sim");
    Send({0, 0, 0, 0, 0xFA, 0xFF, 2, 0, 0, 0, 0, 0});
    const Bytes answer = Receive();
    ASSERT_EQ(answer.size(), 73u);
    EXPECT_EQ(answer[4], 0xFB);
    EXPECT_STREQ(reinterpret_cast<const char*>(&answer[9]), "Remote Sim");
    EXPECT_EQ(session->ApplId(), 0u);
    // An ordinary message with nothing registered is dropped, not put.
    Send({12, 0, 1, 0, 0x05, 0x80, 3, 0, 1, 0, 0, 0});
    Send({0, 0, 0, 0, 0xFC, 0xFF, 3, 0, 0, 0, 0, 0});
    EXPECT_EQ(Receive()[4], 0xFD);
    EXPECT_EQ(VsimPutCount(), 0u);
}

TEST_F(RemoteSessionTest, SecondRegistrationOnOneConnectionIsRefused)
{
    session->Start();
    ASSERT_NE(Register(), 0u);
    Send(kRegister);
    const Bytes refused = Receive();
    ASSERT_EQ(refused.size(), 10u);
    EXPECT_EQ(refused[8] | refused[9] << 8, 0x1001);
    EXPECT_EQ(VsimApplicationCount(), 1u);
}

TEST_F(RemoteSessionTest, DataB3IndicationCarriesItsDataInline)
{
    session->Start();
    const uint32_t applId = Register();
    uint8_t data[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    Bytes indication = {30, 0, 0, 0, 0x86, 0x82, 9, 0, 1, 1, 1, 0, 0, 0, 0, 0, 5, 0, 4, 0, 0, 0};
    const uint64_t address = uint64_t(reinterpret_cast<uintptr_t>(data));
    indication.resize(30);
    std::memcpy(&indication[22], &address, 8);
    ASSERT_EQ(VsimInject(applId, indication.data(), 30), 0u);
    const Bytes got = Receive();
    Bytes expected = {22, 0, uint8_t(applId), 0, 0x86, 0x82, 9, 0, 1, 1, 1, 0, 0, 0, 0, 0, 5, 0, 4, 0, 0, 0,
                      0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(got, expected);

    // The 32-bit form names no memory of this host: no data, length 0.
    Bytes shortForm(indication.begin(), indication.begin() + 22);
    shortForm[0] = 22;
    shortForm[12] = 0x78;
    ASSERT_EQ(VsimInject(applId, shortForm.data(), 22), 0u);
    expected.resize(22);
    expected[16] = 0;
    EXPECT_EQ(Receive(), expected);
}

TEST_F(RemoteSessionTest, DataB3RequestReachesTheDriverBehindThe64BitPointerUntilConfirmed)
{
    session->Start();
    const uint32_t applId = Register();
    Bytes request = {22, 0, 0x63, 0, 0x86, 0x80, 4, 0, 1, 1, 1, 0, 0xEE, 0xEE, 0xEE, 0xEE, 3, 0, 7, 0, 0, 0};
    request.insert(request.end(), {0xA1, 0xB2, 0xC3});
    Send(request);
    for (int i = 0; i < 200 && VsimPutCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    uint8_t put[64] = {};
    ASSERT_EQ(VsimGetPut(0, put, sizeof put), 30u);
    EXPECT_EQ(put[0], 30);
    EXPECT_EQ(put[2] | put[3] << 8, int(applId));
    EXPECT_EQ(put[12] | put[13] | put[14] | put[15], 0) << "the 32-bit data field is 0";
    EXPECT_EQ(put[16], 3);
    EXPECT_EQ(put[18], 7);
    uint64_t address = 0;
    std::memcpy(&address, &put[22], 8);
    ASSERT_NE(address, 0u);
    const auto* block = reinterpret_cast<const uint8_t*>(uintptr_t(address));
    EXPECT_EQ(Bytes(block, block + 3), (Bytes{0xA1, 0xB2, 0xC3}));

    // The confirmation goes on to the client.
    const Bytes confirmation = {16, 0, 0, 0, 0x86, 0x81, 4, 0, 1, 1, 1, 0, 7, 0, 0, 0};
    ASSERT_EQ(VsimInject(applId, confirmation.data(), 16), 0u);
    EXPECT_EQ(Receive()[5], 0x81);
}

// The driver reads a block until it confirms it: the server never frees one
// early. A handle still in flight is refused, and so is a block the driver
// did not take, whose handle is then free again.
TEST_F(RemoteSessionTest, DataB3RequestsTheDriverCannotTakeAreConfirmedWithTheirInfo)
{
    session->Start();
    Register();
    const auto request = [](uint8_t handle) {
        return Bytes{22, 0, 0x63, 0, 0x86, 0x80, 4, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, handle, 0, 0, 0, 0x55};
    };
    const auto info = [](const Bytes& m) { return m.size() == 16 ? m[14] | m[15] << 8 : -1; };
    const auto waitForPuts = [](uint32_t count) {
        for (int i = 0; i < 200 && VsimPutCount() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return VsimPutCount();
    };

    Send(request(7));
    ASSERT_EQ(waitForPuts(1), 1u);
    Send(request(7));
    Bytes confirmation = Receive();
    ASSERT_EQ(confirmation.size(), 16u);
    EXPECT_EQ(confirmation[4], 0x86);
    EXPECT_EQ(confirmation[5], 0x81);
    EXPECT_EQ(confirmation[12], 7);
    EXPECT_EQ(info(confirmation), 0x2007) << "handle 7 is still in flight";
    EXPECT_EQ(VsimPutCount(), 1u);

    VsimSetResult(VsimPutMessage, 0x2002);
    Send(request(8));
    EXPECT_EQ(info(Receive()), 0x2002);
    VsimSetResult(VsimPutMessage, 0);
    Send(request(8));
    EXPECT_EQ(waitForPuts(2), 2u) << "the refused block's handle is free again"; // a refused put is not logged
}

TEST_F(RemoteSessionTest, ClientClosingReleasesTheApplication)
{
    session->Start();
    const uint32_t applId = Register();
    ASSERT_NE(applId, 0u);
    // Messages still streaming to the client when it goes: the release must
    // wait until the message being forwarded is done with (under
    // AddressSanitizer, a release in between reads freed memory).
    const Bytes indication = {12, 0, 0, 0, 0x08, 0x82, 1, 0, 1, 1, 0, 0};
    for (int i = 0; i < 200; ++i)
        VsimInject(applId, indication.data(), uint32_t(indication.size()));
    ::close(client);
    client = -1;
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(VsimApplicationCount(), 0u);
    // Which thread notices first names the reason: the reader (closed) or the
    // pump (stopped reading); either way the application is released.
    EXPECT_NE(LastLog().find(", application " + std::to_string(applId) + " released"), std::string::npos)
        << LastLog();
}

TEST_F(RemoteSessionTest, MalformedFramingEndsTheSession)
{
    session->Start();
    ASSERT_NE(Register(), 0u);
    const uint8_t tooShort[] = {0x00, 0x05, 1, 2, 3};
    ASSERT_EQ(::send(client, tooShort, sizeof tooShort, MSG_NOSIGNAL), 5);
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(VsimApplicationCount(), 0u);
    EXPECT_NE(LastLog().find("malformed framing"), std::string::npos) << LastLog();
}

TEST_F(RemoteSessionTest, MessageLongerThanItsFrameEndsTheSession)
{
    session->Start();
    ASSERT_NE(Register(), 0u);
    Send({40, 0, 1, 0, 0x05, 0x80, 3, 0, 1, 0, 0, 0});
    ASSERT_TRUE(WaitFinished());
    EXPECT_NE(LastLog().find("malformed message"), std::string::npos) << LastLog();
    EXPECT_EQ(VsimPutCount(), 0u);
}

TEST_F(RemoteSessionTest, StallInTheMiddleOfAMessageEndsTheSession)
{
    session->SetStallTimeout(200);
    session->Start();
    ASSERT_NE(Register(), 0u);
    const uint8_t half[] = {0x00, 0x0E, 12, 0, 1};
    ASSERT_EQ(::send(client, half, sizeof half, MSG_NOSIGNAL), 5);
    ASSERT_TRUE(WaitFinished());
    EXPECT_NE(LastLog().find("stalled"), std::string::npos) << LastLog();
    EXPECT_EQ(VsimApplicationCount(), 0u);
}

TEST_F(RemoteSessionTest, IdleClientIsNotAStall)
{
    session->SetStallTimeout(100);
    session->Start();
    ASSERT_NE(Register(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(session->Finished());
}

} // namespace
