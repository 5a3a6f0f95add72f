#include "CallTestSupport.h"

#include <functional>

namespace {

using Requests = CallTest;

// --- Every operation: its bytes, its number and its line ----------------------

struct TSimpleCase {
    const char* name;
    std::function<uint16_t(TCapi20&)> send;
    uint8_t command;
    uint8_t subcommand;
    bool nextNumber;      // else the given number 0x4321
    const char* parameters;
    const char* title;    // of the dump
    const char* line;     // the success line
};

class SimpleOperation : public CallTest, public ::testing::WithParamInterface<TSimpleCase> {};

TEST_P(SimpleOperation, SendsTheMessageAndReportsIt)
{
    const TSimpleCase& c = GetParam();
    OpenQuietly();
    const uint16_t last = capi->NextMessageNumber();
    EXPECT_EQ(c.send(*capi), 0);
    const uint16_t number = c.nextNumber ? uint16_t(last + 1) : 0x4321;
    const TBytes expected = Put(applId(), c.command, c.subcommand, number, Bytes(c.parameters));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(expected));
    EXPECT_EQ(lines.AppLines(), QStringList(QLatin1String(c.line)));
    EXPECT_EQ(lines.CapiLines(), QStringList(QLatin1String(c.title) + QStringLiteral(": ")
                                             + QString::fromStdString(Hex(expected))));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimpleOperation,
    ::testing::Values(
        TSimpleCase{"ConnectActiveResponse", [](TCapi20& c) { return c.ConnectActiveResponse(0x0101, 0x4321); },
                    0x03, 0x83, false, "01 01 00 00", "Connect Active Response", "Connect Active Response"},
        TSimpleCase{"ConnectB3Request", [](TCapi20& c) { return c.ConnectB3Request(0x0201); }, 0x82, 0x80, true,
                    "01 02 00 00 00", "Connect B3 Request", "Connect B3 Request"},
        TSimpleCase{"ConnectB3ResponseAccept", [](TCapi20& c) { return c.ConnectB3Response(0x10201, 0, 0x4321); },
                    0x82, 0x83, false, "01 02 01 00 00 00 00", "Connect B3 Response",
                    "Connect B3 Response: accept call"},
        TSimpleCase{"ConnectB3ResponseReject", [](TCapi20& c) { return c.ConnectB3Response(0x10201, 3, 0x4321); },
                    0x82, 0x83, false, "01 02 01 00 03 00 00", "Connect B3 Response",
                    "Connect B3 Response: reject call, normal call clearing"},
        TSimpleCase{"ConnectB3ActiveResponse",
                    [](TCapi20& c) { return c.ConnectB3ActiveResponse(0x10201, 0x4321); }, 0x83, 0x83, false,
                    "01 02 01 00", "Connect B3 Active Response", "Connect B3 Active Response"},
        TSimpleCase{"ConnectB3T90ActiveResponse",
                    [](TCapi20& c) { return c.ConnectB3T90ActiveResponse(0x10201, 0x4321); }, 0x88, 0x83, false,
                    "01 02 01 00", "Connect B3 T90 Active Response", "Connect B3 T90 Active Response"},
        TSimpleCase{"DisconnectRequest", [](TCapi20& c) { return c.DisconnectRequest(0x0301); }, 0x04, 0x80, true,
                    "01 03 00 00 05 00 00 00 00 00", "Disconnect Request", "Disconnect Request"},
        TSimpleCase{"DisconnectResponse", [](TCapi20& c) { return c.DisconnectResponse(0x0301, 0x4321); }, 0x04,
                    0x83, false, "01 03 00 00", "Disconnect Response", "Disconnect Response"},
        TSimpleCase{"DisconnectB3Request", [](TCapi20& c) { return c.DisconnectB3Request(0x10301); }, 0x84, 0x80,
                    true, "01 03 01 00 00", "Disconnect B3 Request", "Disconnect B3 Request"},
        TSimpleCase{"DisconnectB3Response", [](TCapi20& c) { return c.DisconnectB3Response(0x10301, 0x4321); },
                    0x84, 0x83, false, "01 03 01 00", "Disconnect B3 Response", "Disconnect B3 Response"},
        TSimpleCase{"FacilityResponseFunction0",
                    [](TCapi20& c) { return c.FacilityResponse(0x0401, 1, 0, 0x4321); }, 0x80, 0x83, false,
                    "01 04 00 00 01 00 00", "Facility Response", "Facility Response"},
        TSimpleCase{"FacilityResponseFunction2",
                    [](TCapi20& c) { return c.FacilityResponse(0x0401, 3, 2, 0x4321); }, 0x80, 0x83, false,
                    "01 04 00 00 03 00 03 02 00 00", "Facility Response", "Facility Response"},
        TSimpleCase{"InfoResponse", [](TCapi20& c) { return c.InfoResponse(0x0501, 0x4321); }, 0x08, 0x83, false,
                    "01 05 00 00", "Info Response", "Info Response"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- ConnectResponse ----------------------------------------------------------

TEST_F(Requests, ConnectResponseCarriesTheConfiguredCallParameters)
{
    capi->setCIP(TCIPType::CIPVoice);
    capi->setPresentation(false);
    OpenQuietly();
    EXPECT_EQ(capi->ConnectResponse(0x0101, 0, 0x1234, QStringLiteral("*123")), 0);
    const TBytes expected = Put(applId(), 0x02, 0x83, 0x1234,
                                Bytes("01 01 00 00  00 00"                 // PLCI, reject
                                      " 09 01 00 01 00 00 00 00 00 00"     // B protocol 1, 1, 0
                                      " 05 41 A0 31 32 33"                 // connected number, restricted
                                      " 00 00"                             // subaddress, low layer compatibility
                                      " 05 00 00 00 00 00"));              // additional info
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(expected));
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Connect Response: accept call")));
}

TEST_F(Requests, ConnectResponseWithSubaddressAndUserUserText)
{
    capi->setSendSubMsg(QStringLiteral("77"));
    capi->setSendUUMsg(QStringLiteral("hi"));
    OpenQuietly();
    capi->ConnectResponse(0x0101, 1, 7, QStringLiteral("*"));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x02, 0x83, 7,
                                    Bytes("01 01 00 00  01 00"
                                          " 09 00 00 00 00 00 00 00 00 00"   // X.75 data: 0, 0, 0
                                          " 00"                              // "*": no number
                                          " 03 80 37 37"                     // subaddress
                                          " 00"
                                          " 08 00 00 03 04 68 69 00 00"))));  // user-user "hi"
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Connect Response: ignore call")));
}

struct TRejectCase {
    const char* name;
    uint16_t reject;
    const char* line;
};
class RejectText : public CallTest, public ::testing::WithParamInterface<TRejectCase> {};

TEST_P(RejectText, NamesTheRejectAndClearsOnlyAbove200)
{
    OpenQuietly();
    const uint16_t last = capi->NextMessageNumber();
    capi->ConnectResponse(0x0201, GetParam().reject, 0x55, QString());
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_FALSE(puts.empty());
    const bool clears = GetParam().reject > 200;
    const uint16_t sent = clears ? 0 : GetParam().reject;
    EXPECT_EQ(puts[0][12], uint8_t(sent));
    EXPECT_EQ(puts[0][13], uint8_t(sent >> 8));
    QStringList expected(QLatin1String(GetParam().line));
    if (clears) {
        ASSERT_EQ(puts.size(), 2u);
        EXPECT_EQ(Hex(puts[1]), Hex(Put(applId(), 0x04, 0x80, uint16_t(last + 1),
                                        Bytes("01 02 00 00 05 00 00 00 00 00"))));
        expected << QStringLiteral("Disconnect Request");
    } else {
        EXPECT_EQ(puts.size(), 1u);
    }
    EXPECT_EQ(lines.AppLines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RejectText,
    ::testing::Values(TRejectCase{"Accept", 0, "Connect Response: accept call"},
                      TRejectCase{"Ignore", 1, "Connect Response: ignore call"},
                      TRejectCase{"NormalClearing", 2, "Connect Response: reject call, normal call clearing"},
                      TRejectCase{"Busy", 3, "Connect Response: reject call, user busy"},
                      TRejectCase{"NoChannel", 4,
                                  "Connect Response: reject call, requested circuit/channel not available"},
                      TRejectCase{"FacilityRejected", 5, "Connect Response: reject call, facility rejected"},
                      TRejectCase{"ChannelUnacceptable", 6, "Connect Response: reject call, channel unacceptable"},
                      TRejectCase{"Incompatible", 7, "Connect Response: reject call, incompatible destination"},
                      TRejectCase{"OutOfOrder", 8, "Connect Response: reject call, destination out of order"},
                      TRejectCase{"Nine", 9, "Connect Response: "},
                      TRejectCase{"TwoHundred", 200, "Connect Response: "},
                      TRejectCase{"TwoHundredOne", 201, "Connect Response: accept call"},
                      TRejectCase{"TwoHundredFifty", 250, "Connect Response: accept call"},
                      TRejectCase{"Largest", 0xFFFF, "Connect Response: accept call"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Requests, WidebandLowLayerCompatibilityNeedsTheSettingAndTheCall)
{
    capi->setWideband(true);
    OpenQuietly();
    const auto llcOf = [&](uint32_t plci) {
        capi->ConnectResponse(plci, 0, 1, QString());
        const TBytes put = NewPuts().at(0);
        // PLCI 4, reject 2, B protocol 10, connected number 1, subaddress 1: the LLC follows.
        return Hex(TBytes(put.begin() + 8 + 18, put.end() - 6));
    };
    EXPECT_EQ(llcOf(0x0101), "00 ");
    capi->Calls().Call(0x0101)->WidebandCall = true;
    EXPECT_EQ(llcOf(0x0101), "03 91 90 A5 ");
    capi->setWideband(false);
    EXPECT_EQ(llcOf(0x0101), "00 ");
}

TEST_F(Requests, RefusedResponseIsReportedAndAbove200StillClears)
{
    OpenQuietly();
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->ConnectResponse(0x0101, 220, 3, QString()), 0x2002);
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect Response failed: 0x00002002"),
                                              QStringLiteral("Disconnect Request failed: 0x00002002")}));
    EXPECT_EQ(lines.CapiLines().size(), 2);
}

// --- DisconnectRequest ------------------------------------------------------------

TEST_F(Requests, DisconnectRequestGivenAnNcciClearsTheB3ConnectionOnly)
{
    OpenQuietly();
    capi->Calls().Call(0x0101)->Connected = true;
    const uint16_t last = capi->NextMessageNumber();
    EXPECT_EQ(capi->DisconnectRequest(0x00010101), 0);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x84, 0x80, uint16_t(last + 1), Bytes("01 01 01 00 00"))));
    EXPECT_FALSE(capi->Calls().Call(0x0101)->Connected);
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Disconnect B3 Request")));
}

TEST_F(Requests, DisconnectRequestClearsConnectedEvenWhenRefused)
{
    OpenQuietly();
    capi->Calls().Call(0x0201)->Connected = true;
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->DisconnectRequest(0x0201), 0x2002);
    EXPECT_FALSE(capi->Calls().Call(0x0201)->Connected);
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Disconnect Request failed: 0x00002002")));
}

// --- ConnectB3ActiveResponse ---------------------------------------------------

TEST_F(Requests, ConnectB3ActiveResponseFreesTheDataHandlesWhateverTheResult)
{
    OpenQuietly();
    capi->Calls().Call(0x0101)->SlotInUse.fill(true);
    capi->Calls().Call(0x0201)->SlotInUse.fill(true);
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->ConnectB3ActiveResponse(0x00010101, 9), 0x2002);
    EXPECT_EQ(capi->Calls().Call(0x0101)->SlotInUse, (std::array<bool, 7>{}));
    EXPECT_EQ(capi->Calls().Call(0x0201)->SlotInUse[0], true);
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Connect B3 Active Response failed: 0x00002002")));
}

// --- PowerManagementRequest --------------------------------------------------------

TEST_F(Requests, PowerManagementRequestIsSentOnlyWhenEnabled)
{
    OpenQuietly();
    EXPECT_EQ(capi->PowerManagementRequest(), 1);
    EXPECT_TRUE(NewPuts().empty());
    EXPECT_TRUE(lines.AppLines().isEmpty());
    EXPECT_TRUE(lines.CapiLines().isEmpty());
}

TEST_F(Requests, PowerManagementRequestWithoutNumbersHoldsACountOfZero)
{
    capi->setPowerManagement(true);
    capi->setController(2);
    OpenQuietly();
    const uint16_t last = capi->NextMessageNumber();
    EXPECT_EQ(capi->PowerManagementRequest(), 0);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x80, 0x80, uint16_t(last + 1), Bytes("02 00 00 00 04 00 02 00 00"))));
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Facility Request (Power management)")));
    EXPECT_EQ(lines.CapiLines().size(), 1);
    EXPECT_TRUE(lines.CapiLines()[0].startsWith(QLatin1String("Facility Request: ")));
}

TEST_F(Requests, PowerManagementRequestListsEveryNumberWithTheListenMask)
{
    capi->setPowerManagement(true);
    capi->setIncomingCalls({TCIPMask::Telephony});
    capi->setWideband(true);
    capi->setMSN({QStringLiteral("4711"), QString(), QStringLiteral("sip:9")});
    OpenQuietly();
    capi->PowerManagementRequest();
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    const TBytes parameter = Bytes("03 00"                                 // three numbers
                                   " 0A 05 80 34 37 31 31 32 00 01 00"     // 4711, mask 00010012 | 20
                                   " 05 00 32 00 01 00"                    // empty entry: empty number
                                   " 0B 06 80 73 69 70 3A 39 32 00 01 00"); // sip:9 as it stands
    EXPECT_EQ(Hex(TBytes(puts[0].begin() + 14, puts[0].end())),
              Hex(TBytes{uint8_t(parameter.size())} + parameter));
}

TEST_F(Requests, ListenConfirmSendsThePowerManagementRequest)
{
    capi->setPowerManagement(true);
    OpenQuietly();
    Receive({Message(0x05, 0x81, 1, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00})});
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0][4], 0x80);
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Listen Confirm"),
                                              QStringLiteral("Facility Request (Power management)")}));
}

// --- Nothing is sent without a driver -------------------------------------------

TEST(RequestsWithoutDriver, EveryOperationReturnsOneAndWritesNothing)
{
    TCapi20 capi;
    capi.setPowerManagement(true);
    int lineCount = 0;
    capi.OnAppTrace = [&](uint32_t, const QString&) { ++lineCount; };
    capi.OnCapiTrace = [&](uint32_t, const QString&) { ++lineCount; };
    capi.Calls().Call(0x0101)->Connected = true;
    const std::vector<uint16_t> results = {
        capi.PowerManagementRequest(),
        capi.ConnectResponse(0x0101, 250, 1, QStringLiteral("1")),
        capi.ConnectActiveResponse(0x0101, 1),
        capi.ConnectB3Request(0x0101),
        capi.ConnectB3Response(0x10101, 0, 1),
        capi.ConnectB3ActiveResponse(0x10101, 1),
        capi.ConnectB3T90ActiveResponse(0x10101, 1),
        capi.DisconnectRequest(0x0101),
        capi.DisconnectResponse(0x0101, 1),
        capi.DisconnectB3Request(0x10101),
        capi.DisconnectB3Response(0x10101, 1),
        capi.FacilityResponse(0x0101, 3, 2, 1),
        capi.InfoResponse(0x0101, 1),
    };
    EXPECT_EQ(results, std::vector<uint16_t>(results.size(), 1));
    EXPECT_EQ(lineCount, 0);
    EXPECT_TRUE(capi.Calls().Call(0x0101)->Connected) << "no state changes either";
}

TEST_F(Requests, DisconnectRequestAfterReleaseSendsNothing)
{
    OpenQuietly();
    capi->Release(); // still loaded, no longer registered
    lines.Clear();
    capi->Calls().Call(0x0101)->Connected = true;
    EXPECT_EQ(capi->DisconnectRequest(0x0101), 1);
    EXPECT_TRUE(capi->Calls().Call(0x0101)->Connected);
    EXPECT_TRUE(lines.AppLines().isEmpty());
}

} // namespace
