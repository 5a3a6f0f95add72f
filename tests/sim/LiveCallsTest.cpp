// The live demo's calls through the card's exported driver functions: what a
// listening application is offered, and how the call follows its answers.

#include "CapiExports.h"
#include "SimSteering.h"
#include "TraceSteering.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct TReceived {
    uint8_t Command = 0;
    uint8_t Subcommand = 0;
    uint16_t Number = 0;
    Bytes Parameters;
    uint16_t Word(size_t at) const { return uint16_t(Parameters.at(at) | Parameters.at(at + 1) << 8); }
    uint32_t Dword(size_t at) const { return uint32_t(Word(at)) | uint32_t(Word(at + 2)) << 16; }
};

class LiveCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"VESSIK_SIM_SCENARIO", "VESSIK_SIM_SCRIPTED", "VESSIK_SIM_PUTLOG"})
            unsetenv(name);
        setenv("VESSIK_SIM_CALL_INTERVAL_MS", "20", 1);
        // Long enough for a slow (sanitizer) run to answer in time.
        setenv("VESSIK_SIM_RING_MS", "2000", 1);
        setenv("VESSIK_SIM_TALK_MS", "800", 1);
        VsimReset();
        VsimTraceReset();
        ASSERT_EQ(CAPI_REGISTER(3072, 2, 7, 240, &applId), 0u);
    }
    void TearDown() override
    {
        CAPI_RELEASE(applId);
        VsimTraceReset();
        VsimReset();
        for (const char* name : {"VESSIK_SIM_CALL_INTERVAL_MS", "VESSIK_SIM_RING_MS", "VESSIK_SIM_TALK_MS"})
            unsetenv(name);
    }

    void Put(uint8_t command, uint8_t subcommand, uint16_t number, const Bytes& parameters)
    {
        Bytes message = {uint8_t(8 + parameters.size()), 0, uint8_t(applId), uint8_t(applId >> 8), command,
                         subcommand, uint8_t(number), uint8_t(number >> 8)};
        message.insert(message.end(), parameters.begin(), parameters.end());
        ASSERT_EQ(CAPI_PUT_MESSAGE(applId, message.data()), 0u);
    }
    static Bytes Dword(uint32_t value)
    {
        return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    }
    void Listen(uint32_t cipMask)
    {
        Bytes parameters = Dword(1);
        for (const Bytes& part : {Dword(0), Dword(cipMask), Dword(0), Bytes{0, 0}})
            parameters.insert(parameters.end(), part.begin(), part.end());
        Put(0x05, 0x80, 7, parameters);
    }
    // The next message the card sends (waits up to the timeout); Command 0 when none.
    // B-channel data (DATA_B3) is not the call's control and is passed over.
    TReceived Next(int timeoutMs = 3000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        void* message = nullptr;
        while (CAPI_GET_MESSAGE(applId, &message) != 0 || static_cast<const uint8_t*>(message)[4] == 0x86) {
            if (std::chrono::steady_clock::now() > end)
                return {};
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(message);
        const size_t length = bytes[0] | bytes[1] << 8;
        TReceived received;
        received.Command = bytes[4];
        received.Subcommand = bytes[5];
        received.Number = uint16_t(bytes[6] | bytes[7] << 8);
        received.Parameters.assign(bytes + 8, bytes + length);
        return received;
    }
    TReceived Expect(uint8_t command, uint8_t subcommand)
    {
        TReceived received = Next();
        EXPECT_EQ(received.Command, command);
        EXPECT_EQ(received.Subcommand, subcommand);
        return received;
    }
    uint32_t applId = 0;
};

TEST_F(LiveCalls, ListenIsConfirmedAndATelephonyCallOffered)
{
    Listen(0x00010012); // telephony
    const TReceived confirm = Expect(0x05, 0x81);
    EXPECT_EQ(confirm.Number, 7);
    EXPECT_EQ(confirm.Parameters, (Bytes{1, 0, 0, 0, 0, 0}));
    const TReceived offer = Expect(0x02, 0x82);
    const uint32_t plci = offer.Dword(0);
    EXPECT_EQ(plci & 0xFF, 1u);   // controller 1
    EXPECT_NE(plci & 0xFF00, 0u); // a PLCI number
    EXPECT_EQ(offer.Word(4), 16); // CIP telephony
    // Called party 4567, calling party 301234567 (national, presentation allowed).
    const Bytes& p = offer.Parameters;
    ASSERT_GE(p.size(), 26u);
    EXPECT_EQ(Bytes(p.begin() + 6, p.begin() + 12), (Bytes{5, 0x81, '4', '5', '6', '7'}));
    EXPECT_EQ(Bytes(p.begin() + 12, p.begin() + 15), (Bytes{11, 0x21, 0x83}));
}

TEST_F(LiveCalls, AnsweredCallRunsThroughB3AndIsClearedByTheCaller)
{
    Listen(0x00010012);
    Expect(0x05, 0x81);
    const TReceived offer = Expect(0x02, 0x82);
    const uint32_t plci = offer.Dword(0);
    Put(0x01, 0x80, 40, Dword(plci));
    const TReceived alert = Expect(0x01, 0x81);
    EXPECT_EQ(alert.Number, 40);
    EXPECT_EQ(alert.Dword(0), plci);
    EXPECT_EQ(alert.Word(4), 0);

    Bytes accept = Dword(plci);
    accept.insert(accept.end(), {0, 0, 9, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Put(0x02, 0x83, offer.Number, accept);
    const TReceived active = Expect(0x03, 0x82);
    EXPECT_EQ(active.Dword(0), plci);
    Put(0x03, 0x83, active.Number, Dword(plci));
    const TReceived b3 = Expect(0x82, 0x82);
    const uint32_t ncci = b3.Dword(0);
    EXPECT_EQ(ncci & 0xFFFF, plci);
    EXPECT_NE(ncci >> 16, 0u);
    Bytes b3Accept = Dword(ncci);
    b3Accept.insert(b3Accept.end(), {0, 0, 0});
    Put(0x82, 0x83, b3.Number, b3Accept);
    const TReceived b3Active = Expect(0x83, 0x82);
    EXPECT_EQ(b3Active.Dword(0), ncci);
    Put(0x83, 0x83, b3Active.Number, Dword(ncci));

    // The caller hangs up after the talk time: B3 first, then the call.
    const TReceived b3Down = Expect(0x84, 0x82);
    EXPECT_EQ(b3Down.Dword(0), ncci);
    EXPECT_EQ(Next(100).Command, 0); // the call waits for the B3 response
    Put(0x84, 0x83, b3Down.Number, Dword(ncci));
    const TReceived down = Expect(0x04, 0x82);
    EXPECT_EQ(down.Dword(0), plci);
    EXPECT_EQ(down.Word(4), 0x3490); // normal call clearing
    Put(0x04, 0x83, down.Number, Dword(plci));
    // The next call comes after the interval, with another PLCI.
    const TReceived next = Expect(0x02, 0x82);
    EXPECT_NE(next.Dword(0), plci);
}

TEST_F(LiveCalls, UnansweredCallIsClearedAfterRinging)
{
    setenv("VESSIK_SIM_RING_MS", "300", 1); // read when listening starts
    Listen(0x00000002); // speech only
    Expect(0x05, 0x81);
    const auto start = std::chrono::steady_clock::now();
    const TReceived offer = Expect(0x02, 0x82);
    EXPECT_EQ(offer.Word(4), 1); // CIP speech
    const TReceived down = Expect(0x04, 0x82);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_EQ(down.Dword(0), offer.Dword(0));
    EXPECT_EQ(down.Word(4), 0x3490);
}

TEST_F(LiveCalls, ApplicationClearingGetsItsConfirmationAndTheIndication)
{
    Listen(0x00000001); // any call
    Expect(0x05, 0x81);
    const TReceived offer = Expect(0x02, 0x82);
    const uint32_t plci = offer.Dword(0);
    Bytes request = Dword(plci);
    request.insert(request.end(), {0});
    Put(0x04, 0x80, 51, request);
    const TReceived confirm = Expect(0x04, 0x81);
    EXPECT_EQ(confirm.Number, 51);
    EXPECT_EQ(confirm.Parameters, (Bytes{uint8_t(plci), uint8_t(plci >> 8), 0, 0, 0, 0}));
    const TReceived down = Expect(0x04, 0x82);
    EXPECT_EQ(down.Word(4), 0); // cleared by this side
}

TEST_F(LiveCalls, IgnoredOrRejectedCallEndsForTheApplication)
{
    Listen(0x00010012);
    Expect(0x05, 0x81);
    const TReceived offer = Expect(0x02, 0x82);
    Bytes ignore = Dword(offer.Dword(0));
    ignore.insert(ignore.end(), {1, 0, 9, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Put(0x02, 0x83, offer.Number, ignore);
    const TReceived down = Expect(0x04, 0x82);
    EXPECT_EQ(down.Dword(0), offer.Dword(0));
    EXPECT_EQ(down.Word(4), 0);
}

TEST_F(LiveCalls, RequestsForUnknownCallsAreRefused)
{
    Listen(0x00010012);
    Expect(0x05, 0x81);
    Put(0x01, 0x80, 60, Dword(0x7F01));
    const TReceived confirm = Expect(0x01, 0x81);
    EXPECT_EQ(confirm.Word(4), 0x2002); // illegal PLCI
}

TEST_F(LiveCalls, NoListenerNoCallAndNoAnswers)
{
    // Like the trace window: no LISTEN_REQ, so no offer and no confirmation.
    Put(0x01, 0x80, 60, Dword(0x0101));
    EXPECT_EQ(Next(300).Command, 0);
}

TEST_F(LiveCalls, ListenForNothingIsLeftAloneUnlessItEndsListening)
{
    Listen(0); // as a listen-off at release: not the demo's business
    EXPECT_EQ(Next(100).Command, 0);
    setenv("VESSIK_SIM_CALL_INTERVAL_MS", "1000", 1); // no offer before the listen-off
    Listen(0x00010012);
    Expect(0x05, 0x81);
    Listen(0); // a listener stops listening: confirmed, and no call follows
    Expect(0x05, 0x81);
    EXPECT_EQ(Next(300).Command, 0);
}

TEST_F(LiveCalls, ListenerForOtherServicesIsOfferedNothing)
{
    Listen(0x01000000); // message handling only
    Expect(0x05, 0x81);
    EXPECT_EQ(Next(300).Command, 0);
}

TEST_F(LiveCalls, ScriptedCardConfirmsNothing)
{
    VsimSetScripted(1);
    Listen(0x00010012);
    EXPECT_EQ(Next(300).Command, 0);
}

TEST_F(LiveCalls, ScenarioReplacesTheLiveDemo)
{
    VsimTraceSetScenario("R 02 FF 03 08 01 05 05\n");
    Listen(0x00010012);
    EXPECT_EQ(Next(300).Command, 0);
}

} // namespace
