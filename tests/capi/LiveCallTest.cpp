// A call of the simulated card's live demo, answered through ConnectResponse:
// the component's handlers carry it through B3 to the caller's clearing.

#include "CapiMessageWriter.h"
#include "CapiTestSupport.h"

#include <cstdlib>

namespace {

// The call-control operations are built beside this test; until they are in
// TCapi20 the test cannot answer a call.
template <typename TComponent>
constexpr bool HasConnectResponse()
{
    return requires(TComponent& capi) { capi.ConnectResponse(uint32_t(0), uint16_t(0), uint16_t(0), QString()); };
}

template <typename TComponent>
void Accept(TComponent& capi, uint32_t plci, uint16_t messageNumber)
{
    if constexpr (HasConnectResponse<TComponent>())
        capi.ConnectResponse(plci, 0, messageNumber, QString());
}

struct TEvent {
    QString Name;
    uint32_t Address = 0;
    uint32_t Value = 0;
};

class LiveCall : public SimCapiTest {
protected:
    void SetUp() override
    {
        for (const char* name : {"VESSIK_SIM_SCENARIO", "VESSIK_SIM_SCRIPTED", "VESSIK_SIM_PUTLOG"})
            unsetenv(name);
        setenv("VESSIK_SIM_CALL_INTERVAL_MS", "20", 1);
        setenv("VESSIK_SIM_RING_MS", "5000", 1);
        setenv("VESSIK_SIM_TALK_MS", "500", 1);
        SimCapiTest::SetUp();
    }
    void TearDown() override
    {
        SimCapiTest::TearDown();
        for (const char* name : {"VESSIK_SIM_CALL_INTERVAL_MS", "VESSIK_SIM_RING_MS", "VESSIK_SIM_TALK_MS"})
            unsetenv(name);
    }
    // The component listens for nothing; a host asks for telephony calls.
    void Listen()
    {
        TCapiMessageWriter writer;
        writer.Init(uint16_t(capi->ApplID()), 0x05, 0x80, capi->NextMessageNumber());
        writer.AddDword(1);
        writer.AddDword(0);
        writer.AddDword(capi->CIPMask());
        writer.AddDword(0);
        writer.AddEmptyStruct();
        writer.AddEmptyStruct();
        ASSERT_EQ(capi->PutCapiMessage(capi->ApplID(), writer.Message()), 0);
    }
    void Record()
    {
        const auto notify = [this](const char* name) {
            return [this, name](uint32_t address, uint16_t value) {
                events.push_back({QLatin1String(name), address, value});
            };
        };
        capi->OnConnect = notify("OnConnect");
        capi->OnConnectActive = notify("OnConnectActive");
        capi->OnB3Active = notify("OnB3Active");
        capi->OnDisconnectB3 = notify("OnDisconnectB3");
        capi->OnDisconnect = [this](uint32_t address, const QString&) { events.push_back({"OnDisconnect", address, 0}); };
    }
    std::vector<TEvent> events;
};

TEST_F(LiveCall, AnsweredThroughConnectResponseRunsToTheCallersClearing)
{
    if constexpr (!HasConnectResponse<TCapi20>())
        GTEST_SKIP() << "TCapi20 has no ConnectResponse yet: the call-control operations are not built";
    capi->setIncomingCalls({TCIPMask::Telephony});
    capi->setDoRegisterRequestRecipient(false);
    Record();
    ASSERT_TRUE(Open());
    Listen();
    ASSERT_TRUE(PumpUntil([this] { return !events.empty(); })) << "no call was offered";
    ASSERT_EQ(events[0].Name, QLatin1String("OnConnect"));
    const uint32_t plci = events[0].Address;
    EXPECT_EQ(plci & 0xFF, 1u);
    EXPECT_EQ(capi->CallingPartyNumber(), QLatin1String("0301234567")); // national, with the prefix
    Accept(*capi, plci, uint16_t(events[0].Value));
    ASSERT_TRUE(PumpUntil([this] { return events.size() >= 5; })) << events.size() << " events";
    std::vector<QString> names;
    for (const TEvent& event : events)
        names.push_back(event.Name);
    EXPECT_EQ(names, (std::vector<QString>{"OnConnect", "OnConnectActive", "OnB3Active", "OnDisconnectB3",
                                           "OnDisconnect"}));
    EXPECT_EQ(events[1].Address, plci);
    EXPECT_EQ(events[1].Value, 130u);
    EXPECT_EQ(events[2].Address & 0xFFFF, plci); // the NCCI
    EXPECT_NE(events[2].Address >> 16, 0u);
    EXPECT_EQ(events[3].Address, events[2].Address);
    EXPECT_EQ(events[4].Address, plci);
    // Every indication was answered: the call's responses are all in the put log.
    // How many B3 data blocks the call carried depends on its timing, so their
    // answers (DATA_B3_RESP) are left out.
    std::vector<std::pair<uint8_t, uint8_t>> responses;
    for (uint32_t i = 0; i < VsimPutCount(); ++i) {
        uint8_t put[64] = {};
        if (VsimGetPut(i, put, sizeof put) >= 8 && put[5] == 0x83 && put[4] != 0x86)
            responses.emplace_back(put[4], put[5]);
    }
    EXPECT_EQ(responses, (std::vector<std::pair<uint8_t, uint8_t>>{
                             {0x02, 0x83}, {0x03, 0x83}, {0x82, 0x83}, {0x83, 0x83}, {0x84, 0x83}, {0x04, 0x83}}));
}

TEST_F(LiveCall, UnansweredCallIsOfferedAndCleared)
{
    if constexpr (!HasConnectResponse<TCapi20>())
        GTEST_SKIP() << "TCapi20 has no ConnectResponse yet: the call-control handlers are not built";
    setenv("VESSIK_SIM_RING_MS", "200", 1);
    capi->setIncomingCalls({TCIPMask::Telephony});
    capi->setDoRegisterRequestRecipient(false);
    Record();
    ASSERT_TRUE(Open());
    Listen();
    ASSERT_TRUE(PumpUntil([this] { return events.size() >= 2; })) << events.size() << " events";
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Name, QLatin1String("OnConnect"));
    EXPECT_EQ(events[1].Name, QLatin1String("OnDisconnect"));
    EXPECT_EQ(events[1].Address, events[0].Address);
}

} // namespace
