#include "SupplementaryTestSupport.h"

#include <QTimer>

#include <functional>

namespace {

constexpr uint32_t kAllServices = 0x1FF;
constexpr uint32_t kWithoutForwarding = kAllServices & ~0x10u;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// --- Layout of every request ---------------------------------------------

struct TRequestCase {
    const char* name;
    uint32_t supported;
    std::function<uint16_t(TCapi20&)> send;
    uint8_t command;
    Bytes parameters;
    const char* title;
    const char* line;
};

// The invoke counter starts at 0, so the first handle or identifier is 1.
const TRequestCase kRequests[] = {
    {"Listen", 0, [](TCapi20& c) { return c.ListenSupplementaryRequest(1, 0x1FF); }, 0x80,
     {0x01, 0, 0, 0, 0x03, 0, 0x07, 0x01, 0, 0x04, 0xFF, 0x01, 0, 0}, "Facility Request",
     "Facility Request (Listen To Supplementary Services)"},
    {"EctToPlci", kAllServices, [](TCapi20& c) { return c.EctRequest(0x0101, 0x0201); }, 0x80,
     {0x01, 0x01, 0, 0, 0x03, 0, 0x07, 0x06, 0, 0x04, 0x01, 0x02, 0, 0}, "Facility Request",
     "Facility Request (Supplementary Services: ECT)"},
    {"SelectBProtocol", kAllServices, [](TCapi20& c) { return c.SelectBProtocolRequest(0x0101); }, 0x41,
     {0x01, 0x01, 0, 0, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "Select B Protocol Request", "Select B Protocol Request"},
    {"Forward", kAllServices,
     [](TCapi20& c) { return c.ForwardRequest(0, "123", "0301234", 2, 3, false); }, 0x80,
     Concat({{0x01, 0, 0, 0, 0x03, 0, 0x1E, 0x09, 0, 0x1B, 0x01, 0, 0, 0, 0x02, 0, 0x03, 0},
             {0x06, 0x01, 0x00, 0x80, '1', '2', '3'},
             {0x0A, 0x01, 0x00, 0x80, '0', '3', '0', '1', '2', '3', '4'},
             {0x00}}),
     "Facility Request", "Facility Request (Supplementary Services: Forward 123 to 0301234 [2/3])"},
    {"UnForward", kAllServices, [](TCapi20& c) { return c.UnForwardRequest(7, "123", 1, 0, false); }, 0x80,
     {0x07, 0, 0, 0, 0x03, 0, 0x12, 0x0A, 0, 0x0F, 0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x06, 0x01, 0x00, 0x80, '1', '2',
      '3'},
     "Facility Request", "Facility Request (Supplementary Services: UnForward 123 [1/0])"},
    {"InterrogateParams", kAllServices,
     [](TCapi20& c) { return c.InterrogateParamsRequest(0, "", 0, 0, false); }, 0x80,
     {0x01, 0, 0, 0, 0x03, 0, 0x0C, 0x0B, 0, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x00}, "Facility Request",
     "Facility Request (Supplementary Services: Forward - Interrogate Params)"},
    {"InterrogateNumbers", kAllServices, [](TCapi20& c) { return c.InterrogateNumbersRequest(0); }, 0x80,
     {0x01, 0, 0, 0, 0x03, 0, 0x07, 0x0C, 0, 0x04, 0x01, 0, 0, 0}, "Facility Request",
     "Facility Request (Supplementary Services: Forward - Interrogate Numbers)"},
    {"CcbsDeactivateGoesToController", kAllServices,
     [](TCapi20& c) { return c.CcbsDeactivateRequest(0x0301, 0x1234); }, 0x80,
     {0x01, 0, 0, 0, 0x03, 0, 0x09, 0x10, 0, 0x06, 0x01, 0, 0, 0, 0x34, 0x12}, "Facility Request",
     "Facility Request (Supplementary Services: CCBS deactivate)"},
    {"DeactivationDiversion", 0,
     [](TCapi20& c) { return c.DeactivationDiversionInfoRequest(0, "123", 1, 2); }, 0x08,
     {0x01, 0, 0, 0, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x18, 0x1C, 0x16, 0x91, 0xA1, 0x13, 0x02, 0x01, 0x01, 0x02,
      0x01, 0x08, 0x30, 0x0B, 0x0A, 0x01, 0x01, 0x0A, 0x01, 0x02, 0x80, 0x03, '1', '2', '3', 0x00},
     "Info Request", "Info Request (deactivationDiversion - invoke123)"},
    {"InterrogateParamsInfo", 0,
     [](TCapi20& c) { return c.InterrogateParamsInfoRequest(0, "1", 0, 0); }, 0x08,
     {0x01, 0, 0, 0, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x16, 0x1C, 0x14, 0x91, 0xA1, 0x11, 0x02, 0x01, 0x01, 0x02,
      0x01, 0x0B, 0x30, 0x09, 0x0A, 0x01, 0x00, 0x0A, 0x01, 0x00, 0x80, 0x01, '1', 0x00},
     "Info Request", "Info Request (interrogationDiversion - invoke)"},
    {"InterrogateNumbersInfo", 0, [](TCapi20& c) { return c.InterrogateNumbersInfoRequest(0); }, 0x08,
     {0x01, 0, 0, 0, 0x00, 0x10, 0x00, 0x00, 0x00, 0x0B, 0x1C, 0x09, 0x91, 0xA1, 0x06, 0x02, 0x01, 0x01, 0x02,
      0x01, 0x11, 0x00},
     "Info Request", "Info Request (interrogationDiversion - invoke)"},
    {"CcbsStatusResult", 0, [](TCapi20& c) { return c.CcbsStatusResultInfoRequest(0x0201, true); }, 0x08,
     {0x01, 0x02, 0, 0, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x16, 0x1C, 0x14, 0x91, 0xA2, 0x11, 0x02, 0x02, 0x7F, 0x80,
      0x30, 0x0B, 0x06, 0x06, 0x04, 0x00, 0x82, 0x67, 0x01, 0x08, 0x01, 0x01, 0x01, 0x00},
     "Info Request", "Info Request (CCBS status  - result)"},
    {"CcbsDeactivateInfo", 0, [](TCapi20& c) { return c.CcbsDeactivateInfoRequest(0x0201, 0x42); }, 0x08,
     {0x01, 0x02, 0, 0, 0x00, 0x18, 0x00, 0x00, 0x00, 0x13, 0x1C, 0x11, 0x91, 0xA1, 0x0E, 0x02, 0x01, 0xAB, 0x06,
      0x06, 0x04, 0x00, 0x82, 0x67, 0x01, 0x03, 0x02, 0x01, 0x42, 0x00},
     "Info Request", "Info Request (CCBS status  - invoke)"},
};

class SupplementaryRequest : public SupplementaryTest, public ::testing::WithParamInterface<TRequestCase> {};

TEST_P(SupplementaryRequest, IsBuiltOctetForOctet)
{
    const TRequestCase& request = GetParam();
    if (request.supported != 0) // the confirmation sends a listen of its own
        SetSupported(request.supported);
    EXPECT_EQ(request.send(*capi), 0);
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0][4], request.command);
    EXPECT_EQ(puts[0][5], 0x80);
    EXPECT_EQ(Parameters(puts[0]), request.parameters);
    const QStringList capiLines = lines.CapiLines();
    ASSERT_EQ(capiLines.size(), 1);
    EXPECT_TRUE(capiLines[0].startsWith(QLatin1String(request.title) + QStringLiteral(": "))) << capiLines[0].toStdString();
    EXPECT_EQ(lines.AppLines(), QStringList{QString::fromUtf8(request.line)});
}

INSTANTIATE_TEST_SUITE_P(Table, SupplementaryRequest, ::testing::ValuesIn(kRequests),
                         [](const ::testing::TestParamInfo<TRequestCase>& row) { return row.param.name; });

TEST_F(SupplementaryTest, ActivationDiversionExampleElement)
{
    for (int i = 0; i < 4; ++i)
        capi->CcbsDeactivateRequest(0, 0); // identifiers 1 to 4
    Mark();
    EXPECT_EQ(capi->ActivationDiversionInfoRequest(0, "123", "0301234", 0, 0), 0);
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    const Bytes element = {0x1C, 0x21, 0x91, 0xA1, 0x1E, 0x02, 0x01, 0x05, 0x02, 0x01, 0x07, 0x30,
                           0x16, 0x0A, 0x01, 0x00, 0x0A, 0x01, 0x00, 0x30, 0x09, 0x80, 0x07, 0x30,
                           0x33, 0x30, 0x31, 0x32, 0x33, 0x34, 0x80, 0x03, 0x31, 0x32, 0x33};
    const Bytes expected = Concat({{0x01, 0, 0, 0, 0x00, 0x28, 0x00, 0x00, 0x00, 35}, element, {0x00}});
    EXPECT_EQ(Parameters(puts[0]), expected);
    EXPECT_EQ(lines.AppLines(), QStringList{"Info Request (activationDiversion - invoke0301234 to 123)"});
    EXPECT_EQ(capi->SupplementaryState().PendingInvokes[5], 7);
}

// --- Invoke counter ------------------------------------------------------

TEST(SupplementaryState, InvokeIdentifiersSkip255)
{
    TSupplementaryState state;
    state.InvokeCounter = 253;
    EXPECT_EQ(state.StepInvokeCounter(), 254);
    EXPECT_EQ(state.StepInvokeCounter(), 0);
    EXPECT_EQ(state.StepInvokeCounter(), 1);
}

TEST(SupplementaryState, SupportedServicesFlagsFollowMaskBits)
{
    TSupplementaryState state;
    state.SetSupportedServices(0x90);
    EXPECT_TRUE(state.Offers(TSupplementaryService::CallForwarding));
    EXPECT_TRUE(state.Offers(TSupplementaryService::CCBS));
    EXPECT_FALSE(state.Offers(TSupplementaryService::HoldRetrieve));
    state.SetSupportedServices(0);
    EXPECT_FALSE(state.Offers(TSupplementaryService::CallForwarding));
}

TEST(SupplementaryState, StaleAgeWrapsWithTheTickCount)
{
    TQueryQueue queue;
    TSupplementaryState::Append(queue, {1, "1", {}, 0, 0, 0xFFFFFF00u});
    EXPECT_FALSE(TSupplementaryState::Stale(queue, 0xFFFFFF00u + 3000));
    EXPECT_TRUE(TSupplementaryState::Stale(queue, 0xFFFFFF00u + 3001)); // wrapped past 2^32
    EXPECT_FALSE(TSupplementaryState::Stale(TQueryQueue(), 0));
}

// --- Listen --------------------------------------------------------------

TEST_F(SupplementaryTest, ListenIsSentOncePerSupportedServicesConfirmation)
{
    SetSupported(kAllServices); // sent one listen
    EXPECT_EQ(capi->ListenSupplementaryRequest(1, 1), 0);
    EXPECT_TRUE(NewPuts().empty());
    EXPECT_TRUE(lines.AppLines().isEmpty());
}

TEST(SupplementaryListen, NeedsSupplementaryServicesInTheProfile)
{
    VsimReset();
    uint8_t profile[64] = {1, 0, 2, 0, 0x09, 0, 0, 0}; // internal, DTMF, no supplementary services
    VsimSetProfile(1, profile);
    TCapi20 capi;
    ASSERT_TRUE(capi.OpenDevice(kSimLibrary));
    const uint32_t before = VsimPutCount();
    EXPECT_EQ(capi.ListenSupplementaryRequest(1, 1), 0);
    EXPECT_EQ(VsimPutCount(), before);
    capi.CloseDevice();
    VsimReset();
}

TEST(SupplementaryWithoutDriver, EveryRequestReturnsOneAndSendsNothing)
{
    TCapi20 capi;
    QStringList written;
    capi.OnAppTrace = [&](uint32_t, const QString& line) { written << line; };
    EXPECT_EQ(capi.ListenSupplementaryRequest(1, 1), 0); // no profile read: nothing offered
    EXPECT_EQ(capi.EctRequest(0x10101, 0x201), 1);
    EXPECT_EQ(capi.ForwardRequest(0, "1", "2", 0, 0, true), 1);
    EXPECT_EQ(capi.UnForwardRequest(0, "1", 0, 0, true), 1);
    EXPECT_EQ(capi.InterrogateParamsRequest(0, "1", 0, 0, true), 1);
    EXPECT_EQ(capi.InterrogateNumbersRequest(0), 1);
    EXPECT_EQ(capi.CcbsDeactivateInfoRequest(0, 1), 1);
    EXPECT_TRUE(written.isEmpty());
    // Queueing happens after the check, so nothing was queued.
    EXPECT_FALSE(capi.SupplementaryState().ForwardQueue.has_value());
    EXPECT_FALSE(capi.SupplementaryState().InterrogationPending);
}

// --- ECT -----------------------------------------------------------------

TEST_F(SupplementaryTest, EctOnNcciWaitsForTheB3Clearing)
{
    EXPECT_EQ(capi->EctRequest(0x00010101, 0x00000201), 0);
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0][4], 0x84); // DISCONNECT_B3_REQ
    EXPECT_EQ(Parameters(puts[0]), (Bytes{0x01, 0x01, 0x01, 0x00, 0x00}));
    EXPECT_EQ(capi->Calls().Call(0x0101)->PendingTransfer, 0x00000201u);
}

TEST_F(SupplementaryTest, DeferredEctGoesOutAfterTheDisconnectB3Response)
{
    capi->EctRequest(0x00010101, 0x00000201);
    bool disconnectB3 = false;
    capi->OnDisconnectB3 = [&](uint32_t, uint16_t) { disconnectB3 = true; };
    Mark();
    Inject(Message(0x84, 0x82, 7, {0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(PumpUntil([&] { return NewPuts().size() >= 2; }));
    const std::vector<Bytes> puts = NewPuts();
    EXPECT_EQ(puts[0][4], 0x84); // DISCONNECT_B3_RESP first
    EXPECT_EQ(puts[0][5], 0x83);
    EXPECT_EQ(Parameters(puts[1]), (Bytes{0x01, 0x01, 0, 0, 0x03, 0, 0x07, 0x06, 0, 0x04, 0x01, 0x02, 0, 0}));
    EXPECT_FALSE(disconnectB3);
    EXPECT_EQ(capi->Calls().Call(0x0101)->PendingTransfer, 0u);
}

TEST_F(SupplementaryTest, EctOnNcciWhoseB3ClearingIsRefusedGoesAtOnceToItsPlci)
{
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->EctRequest(0x00010101, 0x00000201), 0x2002);
    VsimSetResult(VsimPutMessage, 0);
    const QStringList capiLines = lines.CapiLines();
    ASSERT_EQ(capiLines.size(), 2);
    EXPECT_TRUE(capiLines[0].startsWith("Disconnect B3 Request: "));
    EXPECT_TRUE(capiLines[1].startsWith("Facility Request: 16 00 "));
    EXPECT_TRUE(capiLines[1].endsWith(" 80 80 02 00 01 01 00 00 03 00 07 06 00 04 01 02 00 00 "));
    EXPECT_TRUE(lines.HasAppLine("Facility Request (Supplementary Services: ECT) failed: 0x00002002"));
    EXPECT_EQ(capi->Calls().Call(0x0101)->PendingTransfer, 0u);
}

// --- Forwarding queues -----------------------------------------------------

uint32_t Handle(const Bytes& facilityRequest)
{
    // address, selector, struct length, function, struct length, handle
    const Bytes p = Parameters(facilityRequest);
    return p.size() < 14 ? 0 : uint32_t(p[10] | p[11] << 8 | p[12] << 16 | p[13] << 24);
}

uint16_t Function(const Bytes& facilityRequest)
{
    const Bytes p = Parameters(facilityRequest);
    return p.size() < 9 ? 0 : uint16_t(p[7] | p[8] << 8);
}

TEST_F(SupplementaryTest, ForwardQueueLifeCycle)
{
    SetSupported(kAllServices);
    // Queued and sent at once; the second waits for the first's answer.
    EXPECT_EQ(capi->ForwardRequest(0, "123", "0301234", 0, 0, true), 0);
    now += 10;
    EXPECT_EQ(capi->ForwardRequest(0, "124", "0401234", 0, 0, true), 0);
    std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Function(puts[0]), 9);
    ASSERT_EQ(capi->SupplementaryState().ForwardQueue->size(), 2u);
    EXPECT_EQ(capi->SupplementaryState().ForwardQueue->back(),
              (TQuery{1, "124", "0401234", 0, 0, 100010}));

    // The answer: the response, then the next request.
    Mark();
    Indication(1, 9, {0, 0, 1, 0, 0, 0});
    puts = NewPuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0][5], 0x83); // FACILITY_RESP
    EXPECT_EQ(Function(puts[1]), 9);
    EXPECT_TRUE(lines.HasAppLine("Facility Request (Supplementary Services: Forward 124 to 0401234 [0/0])"));
    EXPECT_EQ(capi->SupplementaryState().ForwardQueue->size(), 1u);

    // The last answer empties the queue and asks which numbers are forwarded.
    Mark();
    Indication(1, 9, {0, 0, 2, 0, 0, 0});
    puts = NewPuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(Function(puts[1]), 12);
    ASSERT_TRUE(capi->SupplementaryState().ForwardQueue.has_value()); // emptied, not dropped
    EXPECT_TRUE(capi->SupplementaryState().ForwardQueue->empty());
    EXPECT_TRUE(capi->SupplementaryState().InterrogationPending);
}

TEST_F(SupplementaryTest, TimerDropsAQueueWhoseHeadWaitedMoreThan3000ms)
{
    SetSupported(kAllServices);
    capi->ForwardRequest(0, "123", "1", 0, 0, true);
    capi->UnForwardRequest(0, "123", 0, 0, true);
    EXPECT_FALSE(capi->DropStaleSupplementaryQueue(now + 3000));
    // One queue per tick: forward first, then unforward.
    EXPECT_TRUE(capi->DropStaleSupplementaryQueue(now + 3001));
    EXPECT_FALSE(capi->SupplementaryState().ForwardQueue.has_value());
    EXPECT_TRUE(capi->SupplementaryState().UnForwardQueue.has_value());
    EXPECT_TRUE(capi->DropStaleSupplementaryQueue(now + 3001));
    EXPECT_FALSE(capi->SupplementaryState().UnForwardQueue.has_value());
    EXPECT_FALSE(capi->DropStaleSupplementaryQueue(now + 6001));
}

TEST_F(SupplementaryTest, RefusedActivationInfoRequestStaysQueuedUntilTheTimer)
{
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->ForwardRequest(0, "123", "0301234", 0, 0, true), 0x2002);
    VsimSetResult(VsimPutMessage, 0);
    EXPECT_TRUE(lines.HasAppLine("Info Request (activationDiversion - invoke0301234 to 123) failed: 0x00002002"));
    ASSERT_EQ(capi->SupplementaryState().ForwardQueue->size(), 1u);
    now += 3001;
    EXPECT_TRUE(capi->DropStaleSupplementaryQueue(now));
    EXPECT_FALSE(capi->SupplementaryState().ForwardQueue.has_value());
}

TEST_F(SupplementaryTest, RefusedFacilityForwardRequestSendsTheNextOne)
{
    SetSupported(kAllServices);
    capi->ForwardRequest(0, "1", "2", 0, 0, true);
    capi->ForwardRequest(0, "3", "4", 0, 0, true);
    Mark();
    Confirmation(1, 9, {0x0E, 0x30});
    EXPECT_TRUE(lines.HasAppLine(" CF Activate: supplementary service not supported"));
    const std::vector<Bytes> puts = NewPuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Function(puts[0]), 9);
    EXPECT_EQ(Handle(puts[0]), 2u);
}

TEST_F(SupplementaryTest, NextOperationsOnAbsentAndEmptyQueues)
{
    EXPECT_FALSE(capi->NextForward(false));
    EXPECT_FALSE(capi->NextForward(true)); // absent: nothing to drop
    EXPECT_FALSE(capi->QueueForward(1, "1", 0, 0, "2"));
    EXPECT_TRUE(capi->QueueForward(1, "1", 0, 0, "2"));
    EXPECT_TRUE(capi->NextUnForward(true) == false);
    EXPECT_TRUE(capi->NextForward(true));
    EXPECT_FALSE(capi->SupplementaryState().ForwardQueue.has_value());
}

TEST_F(SupplementaryTest, WithoutForwardingInTheControllerTheInfoPathIsTaken)
{
    SetSupported(kWithoutForwarding);
    EXPECT_EQ(capi->ForwardRequest(0, "123", "0301234", 0, 0, true), 0);
    const QStringList capiLines = lines.CapiLines();
    ASSERT_EQ(capiLines.size(), 1);
    EXPECT_TRUE(capiLines[0].startsWith("Info Request: "));
}

TEST_F(SupplementaryTest, UnansweredNumberInterrogationEndsWithAnEmptyList)
{
    SetSupported(kAllServices);
    QStringList reported;
    capi->OnGetForwardedNumbers = [&](uint32_t address, const QString& list) {
        reported << QStringLiteral("%1:%2").arg(address).arg(list);
    };
    capi->InterrogateNumbersRequest(0);
    EXPECT_FALSE(capi->EndStaleInterrogation(now + 3000));
    EXPECT_TRUE(capi->EndStaleInterrogation(now + 3001));
    EXPECT_EQ(reported, QStringList{"1:"});
    EXPECT_FALSE(capi->SupplementaryState().InterrogationPending);
}

// The component's own timer: every 3000 ms, enabled from creation; a tick
// takes the first step that applies and ends there.
TEST_F(SupplementaryTest, TimerTickTakesOneStepFirstThatApplies)
{
    QTimer* timer = capi->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isActive());
    const auto tick = [&] { ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout")); };

    SetSupported(kAllServices);
    int reports = 0;
    capi->OnGetForwardedNumbers = [&](uint32_t, const QString&) { ++reports; };
    capi->InterrogateNumbersRequest(0);
    capi->ForwardRequest(0, "1", "2", 0, 0, true);
    capi->UnForwardRequest(0, "1", 0, 0, true);
    capi->InterrogateParamsRequest(0, "1", 0, 0, true);
    const auto& state = capi->SupplementaryState();

    now += 3000; // not yet stale
    tick();
    EXPECT_TRUE(state.ForwardQueue.has_value() && state.InterrogationPending);

    now += 1;
    tick();
    EXPECT_FALSE(state.ForwardQueue.has_value());
    EXPECT_TRUE(state.UnForwardQueue.has_value());
    tick();
    EXPECT_FALSE(state.UnForwardQueue.has_value());
    EXPECT_TRUE(state.InterrogationQueue.has_value());
    tick();
    EXPECT_FALSE(state.InterrogationQueue.has_value());
    EXPECT_TRUE(state.InterrogationPending);
    EXPECT_EQ(reports, 0);
    tick();
    EXPECT_FALSE(state.InterrogationPending);
    EXPECT_EQ(reports, 1);
    tick();
    EXPECT_EQ(reports, 1);
}

TEST_F(SupplementaryTest, RefusedNumberInterrogationClearsThePendingFlag)
{
    SetSupported(kAllServices);
    VsimSetResult(VsimPutMessage, 0x2002);
    EXPECT_EQ(capi->InterrogateNumbersRequest(0), 0x2002);
    VsimSetResult(VsimPutMessage, 0);
    EXPECT_FALSE(capi->SupplementaryState().InterrogationPending);
    EXPECT_TRUE(lines.HasAppLine(
        "Facility Request (Supplementary Services: Forward - Interrogate Numbers) failed: 0x00002002"));
}

// --- Numbers too long for one length octet -------------------------------

TEST_F(SupplementaryTest, OverlongNumbersAreRefusedNotCut)
{
    const QString longNumber(120, QLatin1Char('1'));
    EXPECT_EQ(capi->ActivationDiversionInfoRequest(0, longNumber, "2", 0, 0), 1);
    EXPECT_EQ(capi->DeactivationDiversionInfoRequest(0, longNumber, 0, 0), 1);
    EXPECT_EQ(capi->InterrogateParamsInfoRequest(0, longNumber, 0, 0), 1);
    SetSupported(kAllServices);
    const QString veryLong(250, QLatin1Char('1'));
    EXPECT_EQ(capi->ForwardRequest(0, veryLong, "2", 0, 0, false), 1);
    EXPECT_EQ(capi->UnForwardRequest(0, veryLong, 0, 0, false), 1);
    EXPECT_TRUE(NewPuts().empty());
    EXPECT_EQ(lines.AppLines().size(), 2);
    EXPECT_TRUE(lines.AppLines().value(0).endsWith(" failed: number too long"));
    // The longest numbers that fit still go out.
    EXPECT_EQ(capi->ActivationDiversionInfoRequest(0, QString(50, '1'), QString(45, '2'), 0, 0), 0);
    EXPECT_EQ(capi->DeactivationDiversionInfoRequest(0, QString(105, '1'), 0, 0), 0);
}

TEST_F(SupplementaryTest, OverlongQueuedRequestAdvancesItsQueue)
{
    const QString longNumber(200, QLatin1Char('1'));
    EXPECT_EQ(capi->UnForwardRequest(0, longNumber, 0, 0, true), 1);
    ASSERT_TRUE(capi->SupplementaryState().UnForwardQueue.has_value());
    EXPECT_TRUE(capi->SupplementaryState().UnForwardQueue->empty());
}

} // namespace
