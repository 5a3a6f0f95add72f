#include "CallTestSupport.h"

#include <cstring>

namespace {

TBytes Struct(const TBytes& contents)
{
    return TBytes{uint8_t(contents.size())} + contents;
}

TBytes Text(const char* text)
{
    return TBytes(text, text + std::strlen(text));
}

// A called party number struct: unknown type, then the digits.
TBytes Called(const char* digits)
{
    return *digits == 0 ? TBytes{0} : Struct(TBytes{0x80} + Text(digits));
}

// Unrestricted digital information with tones, 64 kbit/s, layer 1 G.722.
const TBytes kG722 = Bytes("91 90 A5");
// Speech, 64 kbit/s, layer 1 A-law.
const TBytes kSpeech = Bytes("80 90 A3");

struct TConnectIndication {
    uint32_t plci = 0x0101;
    uint16_t cip = 1;
    TBytes called = Called("4711");
    TBytes calling = Struct(Bytes("21 83") + Text("301234")); // national, presentation allowed
    TBytes calledSub = {0};
    TBytes callingSub = {0};
    TBytes llc = {0};
    TBytes additionalInfo = {0};

    TBytes Message(uint16_t number) const
    {
        return ::Message(0x02, 0x82, number,
                         Dword(plci) + Word(cip) + called + calling + calledSub + callingSub + TBytes{0} /*BC*/ + llc
                             + TBytes{0} /*HLC*/ + additionalInfo);
    }
};

// Additional info: B channel information, keypad, user-user, facility array, sending complete.
TBytes AdditionalInfo(const TBytes& bChannel, const TBytes& userUser)
{
    return Struct(bChannel + TBytes{0} + userUser + TBytes{0, 0});
}

class Handlers : public CallTest {
protected:
    void SetUp() override
    {
        CallTest::SetUp();
        RecordEvents();
    }
};

// --- CONNECT_IND -------------------------------------------------------------

TEST_F(Handlers, ConnectIndicationFillsTheCallDataAndOffersTheCall)
{
    capi->setMSN({QStringLiteral("4711")});
    OpenQuietly();
    TConnectIndication indication;
    indication.calledSub = Struct(Bytes("80") + Text("12"));
    indication.callingSub = Struct(Bytes("80") + Text("34"));
    indication.additionalInfo = AdditionalInfo(Struct(Word(0)), Struct(TBytes{0x04} + Text("hello")));
    Receive({indication.Message(0x0042)});
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect Indication"), QStringLiteral(" CIP: 1 (speech)"),
                                             QStringLiteral(" CalledPartyNumber: 4711"),
                                             QStringLiteral(" CallingPartyNumber: 0301234"),
                                             QStringLiteral(" CalledPartySubaddress: 12"),
                                             QStringLiteral(" CallingPartySubaddress: 34"),
                                             QStringLiteral(" Additional info length: 13"),
                                             QStringLiteral("  B channel information: B channel")}));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnConnect(00000101, 66)")));
    EXPECT_EQ(capi->CallingCIP(), 1);
    EXPECT_EQ(capi->CalledPartyNumber(), QStringLiteral("4711"));
    EXPECT_EQ(capi->CallingPartyNumber(), QStringLiteral("0301234"));
    EXPECT_EQ(capi->CalledSubPartyNumber(), QStringLiteral("12"));
    EXPECT_EQ(capi->CallingSubPartyNumber(), QStringLiteral("34"));
    EXPECT_EQ(capi->CallingPartyUseruser(), QStringLiteral("hello"));
    EXPECT_FALSE(capi->IsCallWaiting());
    EXPECT_TRUE(capi->Calls().Call(0x0101)->IncomingCall);
    EXPECT_TRUE(NewPuts().empty()) << "the application answers";
    ASSERT_EQ(lines.CapiLines().size(), 1);
    EXPECT_TRUE(lines.CapiLines()[0].startsWith(QLatin1String("Connect Indication: ")));
}

TEST_F(Handlers, CallWaitingAndUserUserComeFromTheAdditionalInfoOnly)
{
    OpenQuietly();
    TConnectIndication waiting;
    waiting.additionalInfo = AdditionalInfo(Struct(Word(2)), Struct(TBytes{0x05} + Text("x")));
    Receive({waiting.Message(1)});
    EXPECT_TRUE(capi->IsCallWaiting());
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("  B channel information: neither B or D channel")));
    EXPECT_EQ(capi->CallingPartyUseruser(), QString()) << "only IA5 user-user data is text";
    TConnectIndication withText;
    withText.additionalInfo = AdditionalInfo(TBytes{0}, Struct(TBytes{0x04} + Text("hi")));
    Receive({withText.Message(2)});
    EXPECT_FALSE(capi->IsCallWaiting());
    EXPECT_EQ(capi->CallingPartyUseruser(), QStringLiteral("hi"));
    lines.Clear();
    Receive({TConnectIndication().Message(3)});
    EXPECT_FALSE(capi->IsCallWaiting());
    EXPECT_EQ(capi->CallingPartyUseruser(), QString());
    EXPECT_TRUE(lines.AppLines().filter(QStringLiteral("Additional info")).isEmpty());
}

struct TChannelCase {
    const char* name;
    uint16_t channel;
    const char* text;
};
class BChannelText : public Handlers, public ::testing::WithParamInterface<TChannelCase> {};

TEST_P(BChannelText, NamesTheChannel)
{
    OpenQuietly();
    TConnectIndication indication;
    indication.additionalInfo = AdditionalInfo(Struct(Word(GetParam().channel)), TBytes{0});
    Receive({indication.Message(1)});
    EXPECT_EQ(lines.AppLines().filter(QStringLiteral("B channel information")),
              QStringList(QStringLiteral("  B channel information: ") + QLatin1String(GetParam().text)));
    EXPECT_EQ(capi->IsCallWaiting(), GetParam().channel == 2);
}

INSTANTIATE_TEST_SUITE_P(Table, BChannelText,
                         ::testing::Values(TChannelCase{"B", 0, "B channel"}, TChannelCase{"D", 1, "D channel"},
                                           TChannelCase{"Neither", 2, "neither B or D channel"},
                                           TChannelCase{"Leased", 3, "channel allocation (leased line)"},
                                           TChannelCase{"Other", 0x0104, "B channel"}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Handlers, TruncatedConnectIndicationReadsAsEmpty)
{
    OpenQuietly();
    const TBytes full = TConnectIndication().Message(9);
    for (size_t length = 8; length < full.size(); ++length) {
        TBytes cut(full.begin(), full.begin() + long(length));
        cut[0] = uint8_t(length);
        Receive({cut});
    }
    // A called number struct whose length runs past the message.
    Receive({Message(0x02, 0x82, 10, Bytes("01 01 00 00 01 00 FF 80 34"))});
    EXPECT_EQ(capi->CalledPartyNumber(), QStringLiteral("4"));
    EXPECT_EQ(Events().size(), int(full.size() - 8 + 1));
}

// --- The MSN filter ----------------------------------------------------------

struct TMsnCase {
    const char* name;
    QStringList msn;
    const char* called;
    bool offered;
    const char* calledAfter; // CalledPartyNumber afterwards
};
class MsnFilter : public Handlers, public ::testing::WithParamInterface<TMsnCase> {};

TEST_P(MsnFilter, OffersOrIgnoresTheCall)
{
    const TMsnCase& c = GetParam();
    capi->setMSN(c.msn);
    OpenQuietly();
    TConnectIndication indication;
    indication.called = Called(c.called);
    Receive({indication.Message(0x0777)});
    EXPECT_EQ(capi->CalledPartyNumber(), QString::fromUtf8(c.calledAfter));
    const std::vector<TBytes> puts = NewPuts();
    if (c.offered) {
        EXPECT_EQ(Events(), QStringList(QStringLiteral("OnConnect(00000101, 1911)")));
        EXPECT_TRUE(puts.empty());
    } else {
        EXPECT_TRUE(Events().isEmpty());
        ASSERT_EQ(puts.size(), 1u);
        EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x02, 0x83, 0x0777,
                                        Bytes("01 01 00 00 01 00 09 00 00 00 00 00 00 00 00 00 00 00 00"
                                              " 05 00 00 00 00 00"))));
        EXPECT_EQ(lines.AppLines().last(), QStringLiteral("Connect Response: ignore call"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MsnFilter,
    ::testing::Values(
        TMsnCase{"Plain", {"4711"}, "4711", true, "4711"},
        TMsnCase{"OtherNumber", {"4711"}, "4712", false, "4712"},
        TMsnCase{"Sip", {"sip:4711"}, "4711", true, "sip:4711"},
        TMsnCase{"Tel", {"tel:4711"}, "4711", true, "tel:4711"},
        TMsnCase{"Sips", {"sips:4711"}, "4711", true, "sips:4711"},
        TMsnCase{"SipThenTel", {"sip:tel:4711"}, "4711", true, "sip:tel:4711"},
        TMsnCase{"TelBeforeSip", {"tel:sip:4711"}, "4711", false, "4711"},
        TMsnCase{"SipsThenSip", {"sips:sip:4711"}, "4711", false, "4711"},
        TMsnCase{"CaseSensitive", {"SIP:4711"}, "4711", false, "4711"},
        TMsnCase{"FirstMatchWins", {"1", "sip:4711", "4711"}, "4711", true, "sip:4711"},
        TMsnCase{"SipAddress", {"4711"}, "user@host", true, "user@host"},
        TMsnCase{"TelUri", {"4711"}, "tel:4712", true, "tel:4712"},
        TMsnCase{"EmptyCalledNumber", {"4711"}, "", true, ""},
        TMsnCase{"EmptyMsn", {}, "4712", true, "4712"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- CONNECT_CONF --------------------------------------------------------------

struct TConfirmCase {
    const char* name;
    uint16_t info;
    const char* text;
};
class ConnectConfirmFailure : public Handlers, public ::testing::WithParamInterface<TConfirmCase> {};

TEST_P(ConnectConfirmFailure, NamesTheFailureAndReportsADisconnect)
{
    OpenQuietly();
    Receive({Message(0x02, 0x81, 5, Dword(0x0101) + Word(GetParam().info))});
    const QString text = QLatin1String(GetParam().text);
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Connect Confirm failed: ") + text));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnDisconnect(00000000, \"%1\")").arg(text)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectConfirmFailure,
    ::testing::Values(TConfirmCase{"IllegalController", 0x2002, "illegal controller"},
                      TConfirmCase{"NoPlci", 0x2003, "no PLCI available"},
                      TConfirmCase{"Coding", 0x2007, "illegal message parameter coding"},
                      TConfirmCase{"B1", 0x3001, "B1 protocol not supported"},
                      TConfirmCase{"B2", 0x3002, "B2 protocol not supported"},
                      TConfirmCase{"B3", 0x3003, "B3 protocol not supported"},
                      TConfirmCase{"B1Parameter", 0x3004, "B1 protocol parameter not supported"},
                      TConfirmCase{"B2Parameter", 0x3005, "B2 protocol parameter not supported"},
                      TConfirmCase{"B3Parameter", 0x3006, "B3 protocol parameter not supported"},
                      TConfirmCase{"Combination", 0x3007, "B protocol combination not supported"},
                      TConfirmCase{"Cip", 0x3009, "CIP Value unknown"},
                      TConfirmCase{"Other", 0x2005, "0x2005"},
                      TConfirmCase{"OtherLowercase", 0x300A, "0x300A"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Handlers, SuccessfulConnectConfirmMakesTheCallAnOutgoingOne)
{
    OpenQuietly();
    capi->Calls().Call(0x0201)->IncomingCall = true;
    Receive({Message(0x02, 0x81, 5, Dword(0x0201) + Word(0))});
    EXPECT_EQ(lines.AppLines(), QStringList(QStringLiteral("Connect Confirm")));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnConnect(00000201, 129)")));
    EXPECT_FALSE(capi->Calls().Call(0x0201)->IncomingCall);
}

// --- CONNECT_ACTIVE_IND and wideband -------------------------------------------

TEST_F(Handlers, ConnectActiveIsReadTwiceAndAnswered)
{
    OpenQuietly();
    Receive({Message(0x03, 0x82, 0x0031,
                     Dword(0x0101) + Struct(Bytes("21 83") + Text("5551")) + Struct(Bytes("80") + Text("9"))
                         + TBytes{0})});
    const QStringList numberLines = QStringList{QStringLiteral(" ConnectedPartyNumber: 05551"),
                                                QStringLiteral(" ConnectedSubaddress: 9")};
    // Once on the receive thread before queueing, once by the handler.
    EXPECT_EQ(lines.AppLines(), numberLines + QStringList{QStringLiteral("Connect Active Indication")} + numberLines
                                    + QStringList{QStringLiteral("Connect Active Response")});
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnConnectActive(00000101, 130)")));
    EXPECT_EQ(capi->CalledPartyNumber(), QStringLiteral("05551"));
    EXPECT_EQ(capi->CalledSubPartyNumber(), QStringLiteral("9"));
    EXPECT_TRUE(capi->Calls().Call(0x0101)->Connected);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x03, 0x83, 0x0031, Bytes("01 01 00 00"))));
}

TEST_F(Handlers, ConnectActiveWithoutNumbersEmptiesTheCallData)
{
    OpenQuietly();
    Receive({TConnectIndication().Message(1)});
    lines.Clear();
    Receive({Message(0x03, 0x82, 2, Dword(0x0101))});
    EXPECT_EQ(capi->CalledPartyNumber(), QString());
    EXPECT_EQ(capi->CalledSubPartyNumber(), QString());
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect Active Indication"),
                                             QStringLiteral("Connect Active Response")}));
}

struct TWidebandCase {
    const char* name;
    bool setting;
    bool incoming;
    TBytes connectLlc;  // of the CONNECT_IND (incoming calls only)
    TBytes activeLlc;   // of the CONNECT_ACTIVE_IND
    bool widebandCall;
};
class Wideband : public Handlers, public ::testing::WithParamInterface<TWidebandCase> {};

TEST_P(Wideband, DecidesTheCallsAudioAndReportsG722)
{
    const TWidebandCase& c = GetParam();
    capi->setWideband(c.setting);
    OpenQuietly();
    if (c.incoming) {
        TConnectIndication indication;
        indication.llc = Struct(c.connectLlc);
        Receive({indication.Message(1)});
        EXPECT_EQ(capi->Calls().Call(0x0101)->WidebandCall, c.setting && c.connectLlc == kG722);
    }
    Receive({Message(0x03, 0x82, 2, Dword(0x0101) + TBytes{0, 0} + Struct(c.activeLlc))});
    EXPECT_EQ(capi->Calls().Call(0x0101)->WidebandCall, c.widebandCall);
    QStringList expected;
    if (c.incoming)
        expected << QStringLiteral("OnConnect(00000101, 1)");
    if (c.widebandCall)
        expected << QStringLiteral("OnInfo(00000101, a100, \"G.722\")");
    expected << QStringLiteral("OnConnectActive(00000101, 130)");
    EXPECT_EQ(Events(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, Wideband,
    ::testing::Values(TWidebandCase{"IncomingG722", true, true, kG722, kSpeech, true},
                      TWidebandCase{"IncomingSpeech", true, true, kSpeech, kG722, false},
                      TWidebandCase{"IncomingWithoutSetting", false, true, kG722, kG722, false},
                      TWidebandCase{"OutgoingG722", true, false, {}, kG722, true},
                      TWidebandCase{"OutgoingSpeech", true, false, {}, kSpeech, false},
                      TWidebandCase{"OutgoingWithoutSetting", false, false, {}, kG722, false}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- ALERT_CONF, INFO_CONF --------------------------------------------------------

struct TLineCase {
    const char* name;
    uint8_t command;
    uint16_t info;
    const char* line;
};
class ConfirmLine : public Handlers, public ::testing::WithParamInterface<TLineCase> {};

TEST_P(ConfirmLine, WritesTheLine)
{
    OpenQuietly();
    Receive({Message(GetParam().command, 0x81, 1, Dword(0x0101) + Word(GetParam().info))});
    EXPECT_EQ(lines.AppLines(), QStringList(QLatin1String(GetParam().line)));
    EXPECT_TRUE(NewPuts().empty());
    EXPECT_TRUE(Events().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfirmLine,
    ::testing::Values(TLineCase{"AlertSentByAnother", 0x01, 3, "Alert Confirm: Alert already sent by another application"},
                      TLineCase{"AlertOk", 0x01, 0, "Alert Confirm: 0x0000"},
                      TLineCase{"AlertOther", 0x01, 0x200a, "Alert Confirm: 0x200A"},
                      TLineCase{"InfoOk", 0x08, 0, "Info Confirm"},
                      TLineCase{"InfoState", 0x08, 0x2001, "Info Confirm: message not supported in current state"},
                      TLineCase{"InfoIllegal", 0x08, 0x2002, "Info Confirm: illegal Controller/PLCI"},
                      TLineCase{"InfoNoPlci", 0x08, 0x2003, "Info Confirm: no PLCI available"},
                      TLineCase{"InfoCoding", 0x08, 0x2007, "Info Confirm: illegal message parameter coding"},
                      TLineCase{"InfoOther", 0x08, 0x3001, "Info Confirm"},
                      TLineCase{"SelectBRefused", 0x41, 0x3001, "Select B Protocol Confirm"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Handlers, AcceptedBProtocolOpensTheB3Connection)
{
    OpenQuietly();
    const uint16_t last = capi->NextMessageNumber();
    Receive({Message(0x41, 0x81, 1, Dword(0x0201) + Word(0))});
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Select B Protocol Confirm"),
                                             QStringLiteral("Connect B3 Request")}));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x82, 0x80, uint16_t(last + 1), Bytes("01 02 00 00 00"))));
}

// --- B3 connections ------------------------------------------------------------------

TEST_F(Handlers, ConnectB3IndicationIsAcceptedAtOnce)
{
    OpenQuietly();
    Receive({Message(0x82, 0x82, 0x0102, Dword(0x00010101) + TBytes{0})});
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect B3 Indication"),
                                             QStringLiteral("Connect B3 Response: accept call")}));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x82, 0x83, 0x0102, Bytes("01 01 01 00 00 00 00"))));
}

struct TB3ConfirmCase {
    const char* name;
    uint16_t info;
    const char* line;
};
class ConnectB3Confirm : public Handlers, public ::testing::WithParamInterface<TB3ConfirmCase> {};

TEST_P(ConnectB3Confirm, ReportsFailuresThroughOnInfo)
{
    OpenQuietly();
    Receive({Message(0x82, 0x81, 1, Dword(0x00010101) + Word(GetParam().info))});
    const QString line = QLatin1String(GetParam().line);
    EXPECT_EQ(lines.AppLines(), QStringList(line));
    if (GetParam().info == 0)
        EXPECT_TRUE(Events().isEmpty());
    else
        EXPECT_EQ(Events(), QStringList(QStringLiteral("OnInfo(00010101, %1, \"%2\")")
                                            .arg(GetParam().info, 4, 16, QLatin1Char('0'))
                                            .arg(line)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectB3Confirm,
    ::testing::Values(
        TB3ConfirmCase{"Ok", 0, "Connect B3 Confirm"},
        TB3ConfirmCase{"NcpiIgnored", 1, "Connect B3 Confirm failed: NCPI not supported by current protocol, NCPI ignored"},
        TB3ConfirmCase{"State", 0x2001, "Connect B3 Confirm failed: message not supported in current state"},
        TB3ConfirmCase{"IllegalPlci", 0x2002, "Connect B3 Confirm failed: illegal PLCI"},
        TB3ConfirmCase{"NoNcci", 0x2004, "Connect B3 Confirm failed: no NCCI available"},
        TB3ConfirmCase{"Ncpi", 0x3008, "Connect B3 Confirm failed: NCPI not supported"},
        TB3ConfirmCase{"Other", 0x3009, "Connect B3 Confirm failed: "}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Handlers, ConnectB3ActiveStartsTheDataPathAfresh)
{
    OpenQuietly();
    {
        TCallTable::TLockedCall call = capi->Calls().Call(0x0101);
        call->SlotInUse.fill(true);
        call->SendFifo = std::make_unique<TDataBufferFIFO>(64);
        call->SendFifo->PutData("abc", 3, false);
    }
    Receive({Message(0x83, 0x82, 0x0203, Dword(0x00010101) + TBytes{0})});
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect B3 Active Indication"),
                                             QStringLiteral("Connect B3 Active Response")}));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnB3Active(00010101, 130)")));
    TCallTable::TLockedCall call = capi->Calls().Call(0x0101);
    EXPECT_TRUE(call->B3Active);
    EXPECT_EQ(call->SlotInUse, (std::array<bool, 7>{}));
    EXPECT_EQ(call->SendFifo->Count(), 0u);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x83, 0x83, 0x0203, Bytes("01 01 01 00"))));
}

TEST_F(Handlers, ConnectB3T90ActiveReportsBeforeItAnswers)
{
    OpenQuietly();
    uint32_t putsAtEvent = 99;
    capi->OnB3T90Active = [&](uint32_t, uint16_t) { putsAtEvent = VsimPutCount(); };
    const uint32_t before = VsimPutCount();
    Receive({Message(0x88, 0x82, 0x0204, Dword(0x00010101) + TBytes{0})});
    EXPECT_EQ(putsAtEvent, before);
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Connect B3 T90 Active Indication"),
                                             QStringLiteral("Connect B3 T90 Active Response")}));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x88, 0x83, 0x0204, Bytes("01 01 01 00"))));
}

TEST_F(Handlers, DisconnectB3CleansTheCallUp)
{
    OpenQuietly();
    {
        TCallTable::TLockedCall call = capi->Calls().Call(0x0101);
        call->B3Active = call->Connected = true;
        call->SlotInUse.fill(true);
        call->SendFifo = std::make_unique<TDataBufferFIFO>(64);
        call->SendFifo->PutData("abc", 3, false);
    }
    Receive({Message(0x84, 0x82, 0x0205, Dword(0x00010101) + Word(0) + TBytes{0})});
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Disconnect B3 Indication"),
                                             QStringLiteral("Disconnect B3 Response")}));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnDisconnectB3(00010101, 130)")));
    TCallTable::TLockedCall call = capi->Calls().Call(0x0101);
    EXPECT_FALSE(call->B3Active);
    EXPECT_TRUE(call->Connected);
    EXPECT_EQ(call->SlotInUse, (std::array<bool, 7>{}));
    EXPECT_EQ(call->SendFifo->Count(), 0u);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x84, 0x83, 0x0205, Bytes("01 01 01 00"))));
}

TEST_F(Handlers, DisconnectB3WithAPendingTransferHandsOverInsteadOfReporting)
{
    OpenQuietly();
    capi->Calls().Call(0x0101)->PendingTransfer = 0x0201;
    Receive({Message(0x84, 0x82, 0x0206, Dword(0x00010101) + Word(0) + TBytes{0})});
    EXPECT_TRUE(Events().isEmpty());
    EXPECT_EQ(capi->Calls().Call(0x0101)->PendingTransfer, 0u);
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_GE(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x84, 0x83, 0x0206, Bytes("01 01 01 00"))));
    // What follows the response is the transfer request for the call's PLCI.
    for (size_t i = 1; i < puts.size(); ++i)
        EXPECT_EQ(Hex(TBytes(puts[i].begin() + 8, puts[i].begin() + 12)), "01 01 00 00 ");
}

// --- DISCONNECT_IND -------------------------------------------------------------------

struct TReasonCase {
    const char* name;
    uint16_t reason;
    const char* text;
};
class DisconnectReason : public Handlers, public ::testing::WithParamInterface<TReasonCase> {};

TEST_P(DisconnectReason, IsReportedAnsweredAndTheCallForgotten)
{
    OpenQuietly();
    {
        TCallTable::TLockedCall call = capi->Calls().Call(0x0301);
        call->IncomingCall = call->Connected = call->WidebandCall = true;
        call->SendFifo = std::make_unique<TDataBufferFIFO>(64);
        call->PendingTransfer = 5;
        call->NextSlot = 2;
    }
    Receive({Message(0x04, 0x82, 0x0301, Dword(0x0301) + Word(GetParam().reason))});
    const QString text = QString::fromUtf8(GetParam().text);
    EXPECT_EQ(lines.AppLines(), (QStringList{QStringLiteral("Disconnect Indication: ") + text,
                                             QStringLiteral("Disconnect Response")}));
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnDisconnect(00000301, \"%1\")").arg(text)));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x04, 0x83, 0x0301, Bytes("01 03 00 00"))));
    TCallTable::TLockedCall call = capi->Calls().Call(0x0301);
    EXPECT_FALSE(call->IncomingCall || call->Connected || call->WidebandCall || call->B3Active);
    EXPECT_EQ(call->SendFifo, nullptr);
    EXPECT_EQ(call->PendingTransfer, 0u);
    EXPECT_EQ(call->NextSlot, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DisconnectReason,
    ::testing::Values(TReasonCase{"None", 0, ""}, TReasonCase{"Layer1", 0x3301, "protocol error, layer 1"},
                      TReasonCase{"Layer2", 0x3302, "protocol error, layer 2"},
                      TReasonCase{"Layer3", 0x3303, "protocol error, layer 3"},
                      TReasonCase{"OtherApplication", 0x3304, "another application got that call"},
                      TReasonCase{"Supervision", 0x3305, "cleared by Call Control Supervision"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- INFO_IND ----------------------------------------------------------------------------

TEST_F(Handlers, InfoIndicationIsAnsweredToItsAddress)
{
    OpenQuietly();
    Receive({Message(0x08, 0x82, 0x0401, Dword(0x0501) + Word(0x0008) + Struct(Bytes("80 90")))});
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x08, 0x83, 0x0401, Bytes("01 05 00 00"))));
    EXPECT_EQ(lines.AppLines().last(), QStringLiteral("Info Response"));
}

// --- FACILITY_IND ---------------------------------------------------------------------------

struct TFacilityCase {
    const char* name;
    uint16_t selector;
    TBytes parameter;
    QStringList lines; // before the response line
    const char* event;
};
class FacilityIndication : public Handlers, public ::testing::WithParamInterface<TFacilityCase> {};

TEST_P(FacilityIndication, ReportsAndAnswersBySelector)
{
    const TFacilityCase& c = GetParam();
    OpenQuietly();
    Receive({Message(0x80, 0x82, 0x0501, Dword(0x0101) + Word(c.selector) + Struct(c.parameter))});
    EXPECT_EQ(lines.AppLines(), c.lines + QStringList{QStringLiteral("Facility Response")});
    EXPECT_EQ(Events(), *c.event == 0 ? QStringList() : QStringList(QString::fromUtf8(c.event)));
    const std::vector<TBytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Hex(puts[0]), Hex(Put(applId(), 0x80, 0x83, 0x0501, Dword(0x0101) + Word(c.selector) + TBytes{0})));
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, FacilityIndication,
    ::testing::Values(
        TFacilityCase{"Handset", 0, Text("up"), {"Facility Indication (Handset)", "up"}, "OnHandset(00000101, \"up\")"},
        TFacilityCase{"HandsetEmpty", 0, {}, {"Facility Indication (Handset)"}, "OnHandset(00000101, \"\")"},
        TFacilityCase{"Dtmf", 1, Bytes("31 32 00 33"), {"Facility Indication (DTMF): 12"}, "OnDigit(00000101, \"12\")"},
        TFacilityCase{"DtmfCodePage", 1, Bytes("23 E4"), {"Facility Indication (DTMF): #\u00E4"},
                      "OnDigit(00000101, \"#\u00E4\")"},
        TFacilityCase{"V42bis", 2, Text("x"), {"Facility Indication (V.42 bis)"}, ""},
        TFacilityCase{"SupplementaryEmpty", 3, {}, {"Facility Indication (Supplementary Services)"}, ""},
        TFacilityCase{"ExternalDevice", 4, {}, {"Facility Indication (External Device)"}, ""},
        TFacilityCase{"LineInterconnect", 5, {}, {"Facility Indication (LineInterconnect)"}, ""},
        TFacilityCase{"EchoCancelling", 8, {}, {"Facility Indication (EchoCancelling)"}, ""},
        TFacilityCase{"Other", 7, {}, {"Facility Indication: 7"}, ""},
        TFacilityCase{"Largest", 0xFFFF, Text("z"), {"Facility Indication: 65535"}, ""}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Handlers, SupplementaryFacilityIndicationLeavesTheResponseToItsDecoding)
{
    OpenQuietly();
    Receive({Message(0x80, 0x82, 0x0502, Dword(0x0101) + Word(3) + Struct(Bytes("0E 00 00")))});
    EXPECT_EQ(lines.AppLines().value(0), QStringLiteral("Facility Indication (Supplementary Services)"));
    for (const TBytes& put : NewPuts()) // the decoding's own response only: function 0E
        EXPECT_EQ(Hex(TBytes(put.begin() + 12, put.end())), "03 00 03 0E 00 00 ");
}

TEST_F(Handlers, FacilityIndicationParameterIsClippedToTheMessage)
{
    OpenQuietly();
    Receive({Message(0x80, 0x82, 1, Dword(0x0101) + Word(1) + Bytes("20 35 36"))});
    EXPECT_EQ(Events(), QStringList(QStringLiteral("OnDigit(00000101, \"56\")")));
}

// --- FACILITY_CONF ----------------------------------------------------------------------------

struct TFacilityConfirmCase {
    const char* name;
    uint16_t selector;
    uint16_t info;
    const char* line;
};
class FacilityConfirm : public Handlers, public ::testing::WithParamInterface<TFacilityConfirmCase> {};

TEST_P(FacilityConfirm, NamesTheSelectorAndTheResult)
{
    OpenQuietly();
    Receive({Message(0x80, 0x81, 1, Dword(0x0101) + Word(GetParam().info) + Word(GetParam().selector) + TBytes{0})});
    EXPECT_EQ(lines.AppLines(), QStringList(QLatin1String(GetParam().line)));
    EXPECT_TRUE(NewPuts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, FacilityConfirm,
    ::testing::Values(
        TFacilityConfirmCase{"Handset", 0, 0, "Facility Confirm (Handset)"},
        TFacilityConfirmCase{"HandsetFailed", 0, 0x300b, "Facility Confirm (Handset): failed 0x300B"},
        TFacilityConfirmCase{"Dtmf", 1, 0, "Facility Confirm (DTMF)"},
        TFacilityConfirmCase{"V42bisFailed", 2, 1, "Facility Confirm (V.42bis): failed 0x0001"},
        TFacilityConfirmCase{"Supplementary", 3, 0, "Facility Confirm (Supplementary Services)"},
        TFacilityConfirmCase{"PowerOk", 4, 0, "Facility Confirm (Power management/External Device): operation succeded"},
        TFacilityConfirmCase{"PowerConflict", 4, 1, "Facility Confirm (Power management/External Device): resource conflict"},
        TFacilityConfirmCase{"PowerUnsupported", 4, 2,
                             "Facility Confirm (Power management/External Device): operation not supported"},
        TFacilityConfirmCase{"PowerOther", 4, 0x300B, "Facility Confirm (Power management/External Device): failed 0x300B"},
        TFacilityConfirmCase{"LineInterconnect", 5, 0, "Facility Confirm (Line Interconnect)"},
        TFacilityConfirmCase{"EchoCancelling", 8, 0x2001, "Facility Confirm (EchoCancelling): failed 0x2001"},
        TFacilityConfirmCase{"Unknown", 7, 0, "Facility Confirm (unknown)"},
        TFacilityConfirmCase{"UnknownFailed", 6, 0x2001, "Facility Confirm (unknown)"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- Every handler dumps the message under its title --------------------------------------

struct TTitleCase {
    const char* name;
    uint8_t command;
    uint8_t subcommand;
    const char* title;
};
class HandlerTitle : public Handlers, public ::testing::WithParamInterface<TTitleCase> {};

TEST_P(HandlerTitle, DumpsTheWholeMessageFirst)
{
    OpenQuietly();
    const TBytes message = Message(GetParam().command, GetParam().subcommand, 0x0A0B, Dword(0x0101) + Word(0x0001));
    Receive({message});
    ASSERT_FALSE(lines.CapiLines().isEmpty());
    TBytes received = message;
    received[2] = uint8_t(applId());
    received[3] = uint8_t(applId() >> 8);
    EXPECT_EQ(lines.CapiLines()[0], QLatin1String(GetParam().title) + QStringLiteral(": ")
                                        + QString::fromStdString(Hex(received)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HandlerTitle,
    ::testing::Values(TTitleCase{"AlertConf", 0x01, 0x81, "Alert Confirm"},
                      TTitleCase{"ConnectInd", 0x02, 0x82, "Connect Indication"},
                      TTitleCase{"ConnectConf", 0x02, 0x81, "Connect Confirm"},
                      TTitleCase{"ConnectActiveInd", 0x03, 0x82, "Connect Active Indication"},
                      TTitleCase{"ConnectB3Ind", 0x82, 0x82, "Connect B3 Indication"},
                      TTitleCase{"ConnectB3Conf", 0x82, 0x81, "Connect B3 Confirm"},
                      TTitleCase{"ConnectB3ActiveInd", 0x83, 0x82, "Connect B3 Active Indication"},
                      TTitleCase{"ConnectB3T90ActiveInd", 0x88, 0x82, "Connect B3 T90 Active Indication"},
                      TTitleCase{"DisconnectB3Ind", 0x84, 0x82, "Disconnect B3 Indication"},
                      TTitleCase{"DisconnectInd", 0x04, 0x82, "Disconnect Indication"},
                      TTitleCase{"InfoInd", 0x08, 0x82, "Info Indication"},
                      TTitleCase{"InfoConf", 0x08, 0x81, "Info Confirm"},
                      TTitleCase{"SelectBProtocolConf", 0x41, 0x81, "Select B Protocol Confirm"},
                      TTitleCase{"FacilityInd", 0x80, 0x82, "Facility Indication"},
                      TTitleCase{"FacilityConf", 0x80, 0x81, "Facility Confirm"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// --- A call from the first indication to the last ---------------------------------------------

TEST_F(Handlers, AnIncomingCallAnsweredByTheApplication)
{
    capi->setMSN({QStringLiteral("sip:4711")});
    capi->setCIP(TCIPType::CIPVoice);
    OpenQuietly();
    capi->OnConnect = [&](uint32_t plci, uint16_t number) {
        std::lock_guard<std::mutex> guard(eventLock);
        events << QStringLiteral("OnConnect(%1)").arg(number);
        capi->ConnectResponse(plci, 0, number, QStringLiteral("4711"));
    };
    const uint16_t last = capi->NextMessageNumber();
    Receive({TConnectIndication().Message(0x0101),
             Message(0x03, 0x82, 0x0102, Dword(0x0101) + Struct(Bytes("01 80") + Text("4711")) + TBytes{0, 0}),
             Message(0x82, 0x82, 0x0103, Dword(0x00010101) + TBytes{0}),
             Message(0x83, 0x82, 0x0104, Dword(0x00010101) + TBytes{0}),
             Message(0x84, 0x82, 0x0105, Dword(0x00010101) + Word(0) + TBytes{0})});
    EXPECT_EQ(capi->CalledPartyNumber(), QStringLiteral("4711")) << "the connected number at last";
    capi->DisconnectRequest(0x0101);
    Receive({Message(0x04, 0x81, uint16_t(last + 1), Dword(0x0101) + Word(0)),
             Message(0x04, 0x82, 0x0106, Dword(0x0101) + Word(0x3490))});

    const uint16_t a = applId();
    const std::vector<TBytes> expectedPuts = {
        Put(a, 0x02, 0x83, 0x0101,
            Bytes("01 01 00 00 00 00 09 01 00 01 00 00 00 00 00 00 06 00 80 34 37 31 31 00 00 05 00 00 00 00 00")),
        Put(a, 0x03, 0x83, 0x0102, Bytes("01 01 00 00")),
        Put(a, 0x82, 0x83, 0x0103, Bytes("01 01 01 00 00 00 00")),
        Put(a, 0x83, 0x83, 0x0104, Bytes("01 01 01 00")),
        Put(a, 0x84, 0x83, 0x0105, Bytes("01 01 01 00")),
        Put(a, 0x04, 0x80, uint16_t(last + 1), Bytes("01 01 00 00 05 00 00 00 00 00")),
        Put(a, 0x04, 0x83, 0x0106, Bytes("01 01 00 00")),
    };
    std::vector<std::string> puts, expected;
    for (const TBytes& put : NewPuts())
        puts.push_back(Hex(put));
    for (const TBytes& put : expectedPuts)
        expected.push_back(Hex(put));
    EXPECT_EQ(puts, expected);

    const QStringList appLines = lines.AppLines();
    const QStringList withoutCause = appLines.mid(0, appLines.size() - 2);
    EXPECT_EQ(withoutCause,
              (QStringList{"Connect Indication", " CIP: 1 (speech)", " CalledPartyNumber: 4711",
                           " CallingPartyNumber: 0301234", "Connect Response: accept call",
                           " ConnectedPartyNumber: 4711", "Connect Active Indication", " ConnectedPartyNumber: 4711",
                           "Connect Active Response", "Connect B3 Indication", "Connect B3 Response: accept call",
                           "Connect B3 Active Indication", "Connect B3 Active Response", "Disconnect B3 Indication",
                           "Disconnect B3 Response", "Disconnect Request", "Disconnect Confirm"}));
    EXPECT_TRUE(appLines.value(appLines.size() - 2).startsWith(QLatin1String("Disconnect Indication: ")));
    EXPECT_EQ(appLines.last(), QStringLiteral("Disconnect Response"));
    EXPECT_EQ(Events().mid(0, 4), (QStringList{"OnConnect(257)", "OnConnectActive(00000101, 130)",
                                               "OnB3Active(00010101, 130)", "OnDisconnectB3(00010101, 130)"}));
    EXPECT_EQ(Events().size(), 5);
    EXPECT_TRUE(Events().value(4).startsWith(QLatin1String("OnDisconnect(00000101, ")));
    EXPECT_FALSE(capi->Calls().Call(0x0101)->Connected);
}

} // namespace
