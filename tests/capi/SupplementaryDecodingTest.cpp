#include "SupplementaryTestSupport.h"

#include <QRegularExpression>

namespace {

constexpr uint32_t kAllServices = 0x1FF;
constexpr uint32_t kWithoutForwarding = kAllServices & ~0x10u;
constexpr uint32_t kWithoutCcbs = kAllServices & ~0x80u;

// --- InfoElementText ------------------------------------------------------

struct TElementCase {
    const char* name;
    uint16_t number;
    Bytes contents;
    const char* text;
    uint16_t rewritten;
};

const TElementCase kElements[] = {
    {"InBandProgress", 0x1E, {0x80, 0x88}, "in-band information or an appropriate pattern is now available", 0x1E08},
    {"UnknownProgress", 0x1E, {0x80, 0x86}, "unknown process indication (6)", 0x1E06},
    {"ChargeUnits", 0x4000, {0x05, 0x00, 0x00, 0x00}, "5", 0x4000},
    {"ChargeCurrency", 0x4001, {0x10, 0x27, 0x00, 0x00}, "10000", 0x4000},
    {"ChargeUnitsTwoOctets", 0x4002, {0x10, 0x27}, "10000", 0x4000},
    {"DateTime", 0x29, {0x0D, 0x0C, 0x18, 0x12, 0x05}, "24.12.13 18:05", 0x29},
    {"ShortDateTimeReadsZeros", 0x29, {0x0D}, "00.00.13 00:00", 0x29},
    {"UnlistedNumber", 0x05, {}, "Info: 5", 0x05},
    {"UnlistedBelowCharges", 0x3FFF, {}, "Info: 16383", 0x3FFF},
    {"BearerCapability", 0x04, {0x80}, "bearer capability", 0x04},
    {"EscapeForExtension", 0x7F, {}, "escape for extension", 0x7F},
    {"Cause", 0x08, {0x00, 0x90}, "16:Normal call clearing", 0x08},
    {"CauseWithoutExtensionBit", 0x08, {0x00, 0x10}, "", 0x08},
    {"CalledSubaddress", 0x71, {0x80, 0x50, 0x31, 0x32}, "called party subaddress: P12", 0x71},
    {"UserUser", 0x7E, {0x04, 'h', 'i'}, "user-user: hi", 0x7E},
    {"Disconnect", 0x8045, {}, "disconnect", 0x8045},
    {"ChargeAboveMessageTypes", 0xC000, {0x02}, "2", 0x4000},
};

class InfoElement : public ::testing::TestWithParam<TElementCase> {};

TEST_P(InfoElement, TextAndInfoNumber)
{
    const TElementCase& element = GetParam();
    uint16_t n = element.number;
    EXPECT_EQ(TCapi20::InfoElementText(n, element.contents.data(), uint32_t(element.contents.size())),
              QString::fromUtf8(element.text));
    EXPECT_EQ(n, element.rewritten);
}

INSTANTIATE_TEST_SUITE_P(Table, InfoElement, ::testing::ValuesIn(kElements),
                         [](const ::testing::TestParamInfo<TElementCase>& row) { return row.param.name; });

// --- DecodeInfoIndication -------------------------------------------------

class InfoIndicationTest : public SupplementaryTest {
protected:
    void SetUp() override
    {
        SupplementaryTest::SetUp();
        capi->OnInfo = [this](uint32_t address, uint16_t type, const QString& text) {
            infos << QStringLiteral("%1:%2:%3").arg(address, 0, 16).arg(type, 0, 16).arg(text);
        };
        capi->OnGetForwardedNumbers = [this](uint32_t address, const QString& list) {
            events << QStringLiteral("numbers %1:%2").arg(address, 0, 16).arg(list);
        };
        capi->OnGetForwardedNumbersEx = [this](uint32_t address, const QString& list) {
            events << QStringLiteral("entries %1:%2").arg(address, 0, 16).arg(list);
        };
        capi->OnCompleteOffer = [this](uint32_t address, uint16_t type, const QString& text) {
            events << QStringLiteral("offer %1:%2:%3").arg(address, 0, 16).arg(type).arg(text);
        };
    }
    QStringList infos;
    QStringList events;
};

TEST_F(InfoIndicationTest, ProgressLineAndRewrittenNumber)
{
    EXPECT_EQ(Info(0x0101, 0x1E, {0x80, 0x88}), 0x0101u);
    EXPECT_EQ(lines.AppLines(),
              QStringList{"Info Indication: in-band information or an appropriate pattern is now available"});
    EXPECT_EQ(infos, QStringList{"101:1e08:in-band information or an appropriate pattern is now available"});
}

TEST_F(InfoIndicationTest, DisconnectMessageTypeClearsConnected)
{
    capi->Calls().Call(0x0201)->Connected = true;
    Info(0x0201, 0x8045, {});
    EXPECT_FALSE(capi->Calls().Call(0x0201)->Connected);
    EXPECT_EQ(lines.AppLines(), QStringList{"Info Indication: disconnect"});
}

TEST_F(InfoIndicationTest, NumberElementsHandOnTheirPlainText)
{
    Info(0x0101, 0x74, {0x00, 0x80, '4', '7', '1', '1'});
    ASSERT_EQ(lines.AppLines().size(), 1);
    EXPECT_TRUE(lines.AppLines()[0].startsWith("Info Indication: redirecting number: "));
    ASSERT_EQ(infos.size(), 1);
    EXPECT_FALSE(infos[0].contains("redirecting number"));
}

TEST_F(InfoIndicationTest, ShortFacilityElementGetsOnlyItsFirstLine)
{
    Info(0x0101, 0x1C, {0x91, 0xA1, 0x03, 0x02});
    EXPECT_EQ(lines.AppLines(), QStringList{"Info Indication: facility data - invoke"});
    EXPECT_EQ(infos, QStringList{"101:1c:"});
}

TEST_F(InfoIndicationTest, ReturnErrorTakesItsOperationFromThePendingInvoke)
{
    SetSupported(kWithoutForwarding);
    // Two activations: identifiers 1 and 2; the second waits in the queue.
    capi->ForwardRequest(0, "123", "0301234", 0, 0, true);
    capi->ForwardRequest(0, "124", "0401234", 0, 0, true);
    ASSERT_EQ(capi->SupplementaryState().PendingInvokes[1], 7);
    Mark();
    Info(0x0001, 0x1C, {0x91, 0xA3, 0x06, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00});
    EXPECT_EQ(capi->SupplementaryState().PendingInvokes[1], 0);
    const QStringList app = lines.AppLines();
    ASSERT_GE(app.size(), 2);
    EXPECT_EQ(app[0], "Info Indication: facility data - error");
    EXPECT_EQ(app[1], " ActivationDiversion");
    EXPECT_TRUE(lines.HasAppLine("Info Request (activationDiversion - invoke0401234 to 124)"));
    EXPECT_EQ(capi->SupplementaryState().ForwardQueue->size(), 1u);
}

TEST_F(InfoIndicationTest, LastActivationResultStartsANumberInterrogation)
{
    SetSupported(kWithoutForwarding);
    capi->ForwardRequest(0, "123", "0301234", 0, 0, true); // identifier 1
    Mark();
    // returnResult for invoke 1 with the operation value 7
    Info(0x0001, 0x1C, {0x91, 0xA2, 0x08, 0x02, 0x01, 0x01, 0x30, 0x03, 0x02, 0x01, 0x07});
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Parameters(puts[0]).back(), 0x00);
    EXPECT_TRUE(lines.HasAppLine("Info Request (interrogationDiversion - invoke)"));
    EXPECT_TRUE(capi->SupplementaryState().InterrogationPending);
}

TEST_F(InfoIndicationTest, ForwardingInTheControllerLeavesDiversionResultsAlone)
{
    SetSupported(kAllServices);
    capi->QueueForward(1, "1", 0, 0, "2");
    Info(0x0001, 0x1C, {0x91, 0xA2, 0x08, 0x02, 0x01, 0x01, 0x30, 0x03, 0x02, 0x01, 0x07});
    EXPECT_EQ(lines.AppLines(), (QStringList{"Info Indication: facility data - result", " ActivationDiversion"}));
    EXPECT_TRUE(NewPuts().empty());
    EXPECT_EQ(capi->SupplementaryState().ForwardQueue->size(), 1u);
    EXPECT_TRUE(events.isEmpty());
}

// returnResult of operation 17: the served user numbers.
Bytes NumberListResult(const Bytes& list)
{
    Bytes sequence = {0x02, 0x01, 0x11, 0x31, uint8_t(list.size())};
    sequence.insert(sequence.end(), list.begin(), list.end());
    Bytes element = {0x91, 0xA2, uint8_t(3 + 2 + sequence.size()), 0x02, 0x01, 0x09, 0x30, uint8_t(sequence.size())};
    element.insert(element.end(), sequence.begin(), sequence.end());
    return element;
}

TEST_F(InfoIndicationTest, ServedNumberListIsReportedAndEndsTheInterrogation)
{
    SetSupported(kWithoutForwarding);
    capi->InterrogateNumbersRequest(0);
    lines.Clear();
    Info(0x0001, 0x1C,
         NumberListResult({0x80, 0x03, '1', '2', '3', 0xA1, 0x09, 0x0A, 0x01, 0x02, 0x12, 0x04, '3', '0', '1', '2'}));
    EXPECT_EQ(lines.AppLines(), (QStringList{"Info Indication: facility data - result", " InterrogationDiversion1",
                                             " 123|03012|"}));
    EXPECT_EQ(events, QStringList{"numbers 1:123|03012|"});
    EXPECT_EQ(infos, QStringList{"1:1c:03012"});
    EXPECT_FALSE(capi->SupplementaryState().InterrogationPending);
}

TEST_F(InfoIndicationTest, InterrogationResultListEntries)
{
    SetSupported(kWithoutForwarding);
    // IntResultList { IntResult { served [0] "123", basic service 0, procedure 1, address { [0] "0301234" } } }
    const Bytes entry = {0x30, 0x16, 0x80, 0x03, '1', '2', '3', 0x0A, 0x01, 0x00, 0x0A, 0x01, 0x01,
                         0x30, 0x09, 0x80, 0x07, '0', '3', '0', '1', '2', '3', '4'};
    Bytes sequence = {0x02, 0x01, 0x0B, 0x31, uint8_t(entry.size())};
    sequence.insert(sequence.end(), entry.begin(), entry.end());
    Bytes element = {0x91, 0xA2, uint8_t(5 + sequence.size()), 0x02, 0x01, 0x03, 0x30, uint8_t(sequence.size())};
    element.insert(element.end(), sequence.begin(), sequence.end());
    Info(0x0001, 0x1C, element);
    EXPECT_EQ(lines.AppLines(), (QStringList{"Info Indication: facility data - result", " InterrogationDiversion",
                                             " 01/00:123->0301234"}));
    EXPECT_EQ(events, QStringList{"entries 1:01/00:123->0301234|"});
    EXPECT_EQ(infos, QStringList{"1:1c:01/00:123->0301234"});
}

// Crafted lists whose entries move the 8-bit position backwards (a number
// of 0xF6 octets) or not at all: each must end.
TEST_F(InfoIndicationTest, CraftedListsThatWrapThePositionEnd)
{
    SetSupported(kWithoutForwarding);
    // op 17: list length 0x7F, a number whose length wraps the position back.
    Info(0x0001, 0x1C, NumberListResult({0x80, 0xF6, '1', '2', 0x80, 0xF6, '1', '2'}));
    // op 11: an entry header followed by a served number that wraps.
    Bytes sequence = {0x02, 0x01, 0x0B, 0x31, 0x7F, 0x30, 0x7D, 0x80, 0xF0, '1'};
    Bytes element = {0x91, 0xA2, uint8_t(5 + sequence.size()), 0x02, 0x01, 0x03, 0x30, uint8_t(sequence.size())};
    element.insert(element.end(), sequence.begin(), sequence.end());
    Info(0x0001, 0x1C, element);
    // Long-form lengths that move the position by a multiple of 256.
    Info(0x0001, 0x1C, NumberListResult({0x80, 0x82, 0x01, 0x00, 0x80, 0x82, 0x01, 0x00}));
    EXPECT_EQ(infos.size(), 3);
}

TEST_F(InfoIndicationTest, CcbsStatusRequestIsAnswered)
{
    SetSupported(kWithoutCcbs);
    // invoke 5 of {0 4 0 359 1 8}
    Info(0x0101, 0x1C, {0x91, 0xA1, 0x0B, 0x02, 0x01, 0x05, 0x06, 0x06, 0x04, 0x00, 0x82, 0x67, 0x01, 0x08});
    EXPECT_TRUE(lines.HasAppLine(" CCBS (StatusRequest)"));
    EXPECT_TRUE(lines.HasAppLine("Info Request (CCBS status  - result)"));
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Parameters(puts[0])[0], 0x01);
    EXPECT_EQ(Parameters(puts[0])[1], 0x01);
}

TEST_F(InfoIndicationTest, CcbsInTheControllerOnlyNamesTheOperation)
{
    SetSupported(kAllServices);
    Info(0x0101, 0x1C, {0x91, 0xA1, 0x0B, 0x02, 0x01, 0x05, 0x06, 0x06, 0x04, 0x00, 0x82, 0x67, 0x01, 0x08});
    EXPECT_EQ(lines.AppLines(), (QStringList{"Info Indication: facility data - invoke", " CCBS"}));
    EXPECT_TRUE(NewPuts().empty());
}

TEST_F(InfoIndicationTest, CcbsOperationsOfTheTable)
{
    SetSupported(kWithoutCcbs);
    const Bytes oid = {0x06, 0x06, 0x04, 0x00, 0x82, 0x67, 0x01};
    const auto invoke = [&](uint8_t arc, const Bytes& argument) {
        Bytes element = {0x91, 0xA1, uint8_t(3 + oid.size() + 1 + argument.size()), 0x02, 0x01, 0x05};
        element.insert(element.end(), oid.begin(), oid.end());
        element.push_back(arc);
        element.insert(element.end(), argument.begin(), argument.end());
        lines.Clear();
        events.clear();
        Info(0x0101, 0x1C, element);
        return lines.AppLines();
    };
    EXPECT_EQ(invoke(1, {0x02, 0x01, 0x2A}).value(1), " CCBS (CallInfoRetain)");
    EXPECT_EQ(events, QStringList{"offer 101:42:"});
    EXPECT_EQ(invoke(10, {0x02, 0x01, 0x2A}).value(1), " CCBS (EraseCallLinkageId)");
    EXPECT_EQ(events, QStringList{"offer 101:128:"});
    EXPECT_EQ(invoke(12, {}).value(1), " CCBS (0C)");
    // BFree: SEQUENCE { ENUMERATED, INTEGER linkage 0x33, header, [0] "4711" }
    const QStringList bFree =
        invoke(9, {0x30, 0x0C, 0x0A, 0x01, 0x00, 0x02, 0x01, 0x33, 0xA0, 0x06, 0x80, 0x04, '4', '7', '1', '1'});
    EXPECT_TRUE(bFree.contains("4711"));
    EXPECT_TRUE(bFree.contains("Info Request (CCBS status  - invoke)"));
    EXPECT_EQ(bFree.last(), " CCBS (BFree)");
    EXPECT_EQ(events, QStringList{"offer 101:129:4711"});
}

TEST_F(InfoIndicationTest, OperationsThatAreOnlyNamed)
{
    Info(0x0101, 0x1C, {0x91, 0xA1, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x22});
    EXPECT_EQ(lines.AppLines().value(1), " AOCDChargingUnit");
    lines.Clear();
    Info(0x0101, 0x1C, {0x91, 0xA1, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x05});
    EXPECT_EQ(lines.AppLines().value(1), " unknown (5)");
}

// --- DecodeSupplementaryIndication -----------------------------------------

class FacilityIndicationTest : public InfoIndicationTest {
protected:
    void SetUp() override
    {
        InfoIndicationTest::SetUp();
        capi->OnStatus = [this](uint32_t address, TCallStatus status) {
            events << QStringLiteral("status %1:%2").arg(address, 0, 16).arg(int(status));
        };
        capi->OnMWI = [this](uint32_t count, const QString& controlling, const QString& called) {
            events << QStringLiteral("mwi %1:%2:%3").arg(count).arg(controlling, called);
        };
    }
    QString Status(uint32_t address, TCallStatus status)
    {
        return QStringLiteral("status %1:%2").arg(address, 0, 16).arg(int(status));
    }
    // Kinds of the messages put since the mark: command and subcommand.
    QStringList PutKinds()
    {
        QStringList kinds;
        for (const Bytes& put : NewPuts())
            kinds << QStringLiteral("%1%2").arg(put[4], 2, 16, QLatin1Char('0')).arg(put[5], 2, 16, QLatin1Char('0'));
        return kinds;
    }
};

TEST_F(FacilityIndicationTest, HoldOfAWidebandCallReportsTheLossOnce)
{
    capi->Calls().Call(0x0101)->WidebandCall = true;
    Indication(0x0101, 2, {0, 0});
    EXPECT_EQ(lines.AppLines().value(0), " Hold");
    EXPECT_EQ(infos, QStringList{"101:a100:"});
    EXPECT_EQ(events, QStringList{Status(0x0101, TCallStatus::HoldConfirm)});
    Indication(0x0101, 2, {0, 0});
    EXPECT_EQ(infos.size(), 1);
}

TEST_F(FacilityIndicationTest, RetrieveConnectsB3BeforeTheResponse)
{
    Indication(0x0101, 3, {0, 0}, 0x1234);
    EXPECT_EQ(events, QStringList{Status(0x0101, TCallStatus::RetrieveConfirm)});
    EXPECT_EQ(PutKinds(), (QStringList{"8280", "8083"}));
    const Bytes response = NewPuts().back();
    EXPECT_EQ(response[6], 0x34);
    EXPECT_EQ(response[7], 0x12);
    EXPECT_EQ(Parameters(response), (Bytes{0x01, 0x01, 0, 0, 0x03, 0, 0x03, 0x03, 0x00, 0x00}));
}

TEST_F(FacilityIndicationTest, FailedRetrieveLine)
{
    Indication(0x0101, 3, {0x03, 0x33});
    EXPECT_EQ(lines.AppLines().value(0), " Retrieve failed (3303)");
    EXPECT_EQ(events, QStringList{Status(0x0101, TCallStatus::HoldConfirm)});
}

TEST_F(FacilityIndicationTest, RefusedTransferOfACallRestoresItsB3)
{
    Indication(0x0101, 6, {0x01, 0x30});
    EXPECT_EQ(PutKinds(), (QStringList{"8083", "8280"}));
}

TEST_F(FacilityIndicationTest, InterrogateNumbersResult)
{
    capi->InterrogateNumbersRequest(0);
    Mark();
    Bytes parameter = {0, 0, 9, 0, 0, 0};
    Bytes list;
    AddStruct(list, PartyNumber("0301234"));
    AddStruct(list, PartyNumber("0401234"));
    AddStruct(parameter, list);
    Indication(0x0001, 12, parameter);
    EXPECT_EQ(lines.AppLines(), (QStringList{" CF Interrogate Numbers", " 0301234|0401234|", "Facility Response"}));
    EXPECT_FALSE(capi->SupplementaryState().InterrogationPending);
    EXPECT_EQ(PutKinds(), QStringList{"8083"});
    EXPECT_EQ(events, QStringList{"numbers 1:0301234|0401234|"});
}

TEST_F(FacilityIndicationTest, InterrogateParametersResult)
{
    Bytes instance = {0x00, 0x00, 0x01, 0x00};
    AddStruct(instance, PartyNumber("123"));
    AddStruct(instance, PartyNumber("0301234"));
    instance.push_back(0x00);
    Bytes list;
    AddStruct(list, instance);
    Bytes parameter = {0, 0, 9, 0, 0, 0};
    AddStruct(parameter, list);
    Indication(0x0001, 11, parameter);
    EXPECT_EQ(lines.AppLines(), (QStringList{" CF Interrogate Parameters", " 00/01:123->0301234", "Facility Response"}));
    EXPECT_EQ(events, QStringList{"entries 1:00/01:123->0301234|"});
}

TEST_F(FacilityIndicationTest, ListsWithBadInstanceLengthsStop)
{
    Indication(0x0001, 12, {0, 0, 9, 0, 0, 0, 0x05, 0x05, 1, 2, 3, 4});  // k = remaining
    Indication(0x0001, 12, {0, 0, 9, 0, 0, 0, 0x05, 0x00, 1, 2, 3, 4});  // k = 0
    // Runs off the message: what is missing reads as zeros, once.
    Indication(0x0001, 11, {0, 0, 9, 0, 0, 0, 0xFF, 0x10});
    EXPECT_EQ(events, (QStringList{"numbers 1:", "numbers 1:", "entries 1:00/00:->|"}));
}

TEST_F(FacilityIndicationTest, NotificationsAndUnknownFunctions)
{
    Indication(0x0101, 0x8001, {});
    Indication(0x0101, 0x800D, {});
    Indication(0x0101, 0x8013, {0x2A, 0x00});
    Indication(0x0101, 0x0001, {});
    Indication(0x0101, 0x8016, {});
    EXPECT_EQ(lines.AppLines().filter(QRegularExpression("^ ")),
              (QStringList{" Retrieve Notification", " CCBS erase call linkage ID", " CCBS info retain", " 0001",
                           " 8016"}));
    EXPECT_EQ(events, (QStringList{Status(0x0101, TCallStatus::RetrieveNotify), "offer 101:128:",
                                   "offer 101:42:CCBS"}));
    EXPECT_EQ(PutKinds().size(), 5);
}

TEST_F(FacilityIndicationTest, MessageWaitingIndication)
{
    Bytes parameter = {0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    AddStruct(parameter, PartyNumber("555"));
    parameter.push_back(0);
    parameter.push_back(0);
    AddStruct(parameter, {0x80, '9', '9'});
    Indication(0x0001, 0x8014, parameter);
    EXPECT_EQ(events, QStringList{"mwi 3:555:99"});
}

TEST_F(FacilityIndicationTest, CallTransferActiveSetsTheCalledNumber)
{
    Indication(0x0101, 0x800A, {0x00, 0x80, '7', '7'});
    EXPECT_TRUE(capi->CalledPartyNumber().endsWith("77"));
    EXPECT_EQ(lines.AppLines().value(1), "-> " + capi->CalledPartyNumber());
    EXPECT_EQ(events, QStringList{Status(0x0101, TCallStatus::TransferActiveNotify)});
}

TEST_F(FacilityIndicationTest, CcbsBFreeDeactivatesTheReference)
{
    Bytes parameter = {0x00, 0x00, 0x34, 0x12, 0x00, 0x00, 0, 0, 0, 0, 0};
    AddStruct(parameter, PartyNumber("4711"));
    Indication(0x0101, 0x8010, parameter);
    EXPECT_EQ(lines.AppLines().value(1), " -> 4711");
    EXPECT_EQ(events, QStringList{"offer 101:129:4711"});
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(Parameters(puts[0]), (Bytes{0x01, 0, 0, 0, 0x03, 0, 0x09, 0x10, 0, 0x06, 0x01, 0, 0, 0, 0x34, 0x12}));
}

// --- DecodeSupplementaryConfirmation -----------------------------------------

TEST_F(FacilityIndicationTest, SupportedServicesConfirmation)
{
    Confirmation(0x0001, 0, {0x00, 0x00, 0xFF, 0x01, 0x00, 0x00});
    EXPECT_EQ(capi->SupplementaryState().SupportedMask, 0x1FFu);
    for (bool flag : capi->SupplementaryState().Supported)
        EXPECT_TRUE(flag);
    EXPECT_EQ(events, QStringList{Status(0x0001, TCallStatus::GetSupplementServicesNotify)});
    EXPECT_EQ(lines.AppLines(), (QStringList{"Facility Request (Listen To Supplementary Services)",
                                             " Get Supported Services: success"}));
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Parameters(puts[0]), (Bytes{0x01, 0, 0, 0, 0x03, 0, 0x07, 0x01, 0, 0x04, 0xFF, 0x01, 0, 0}));
}

TEST_F(FacilityIndicationTest, ConfirmationNamesAndResults)
{
    Confirmation(1, 29, {0, 0});
    Confirmation(1, 2, {0x10, 0x30});
    Confirmation(1, 3, {0x05, 0x33});
    Confirmation(1, 28, {0x01, 0x20});
    Confirmation(1, 1, {});
    EXPECT_EQ(lines.AppLines(),
              (QStringList{" unknown (001D): success", " Hold: request not allowed in this state",
                           " Retrieve: rejected by Supplementary Services Supervision", " CONF reattach: unknown reason",
                           " Listen: success"}));
    EXPECT_EQ(events, (QStringList{Status(1, TCallStatus::HoldReject), Status(1, TCallStatus::HoldConfirm)}));
}

TEST_F(FacilityIndicationTest, RefusedNumberInterrogationConfirmation)
{
    SetSupported(kAllServices);
    capi->InterrogateNumbersRequest(0);
    Confirmation(1, 12, {0x0E, 0x30});
    EXPECT_FALSE(capi->SupplementaryState().InterrogationPending);
}

} // namespace
