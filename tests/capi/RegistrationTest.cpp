#include "CapiTestSupport.h"
#include "TCapiThread.h"

#include <QThread>

#include <atomic>

namespace {

using Registration = SimCapiTest;

TEST_F(Registration, OpenRegistersAndDumpsTheRegisterParameters)
{
    ASSERT_TRUE(Open());
    EXPECT_TRUE(capi->DeviceOpened());
    EXPECT_NE(capi->ApplID(), 0u);
    EXPECT_EQ(capi->ApplID(), VsimNewestApplication());
    ASSERT_NE(capi->Thread(), nullptr);
    EXPECT_EQ(capi->Thread()->objectName(), QStringLiteral("CAPI"));
    EXPECT_EQ(capi->Thread()->priority(), QThread::HighPriority);
    const QStringList app = lines.AppLines();
    ASSERT_GE(app.size(), 5);
    EXPECT_EQ(app[0], QStringLiteral("OpenDevice (") + kSimLibrary + QStringLiteral(")"));
    EXPECT_EQ(app[2], QStringLiteral("Installed"));
    EXPECT_EQ(app[3], QStringLiteral("AVM (Vessik simulated controller): 2.0 (0.30-1)"));
    EXPECT_EQ(app[4], QStringLiteral("Register: 240 bytes blocksize"));
    EXPECT_TRUE(lines.CapiLines().contains(QStringLiteral("Register: 00 0C 00 00 02 00 00 00 07 00 00 00 F0 00 00 00 ")));
    EXPECT_TRUE(lines.CapiLines().contains(QStringLiteral("Installed: ")));
    uint32_t parameters[4] = {};
    VsimRegisterParameters(&parameters[0], &parameters[1], &parameters[2], &parameters[3]);
    EXPECT_EQ(parameters[0], 3072u);
    EXPECT_EQ(parameters[1], 2u);
    EXPECT_EQ(parameters[2], 7u);
    EXPECT_EQ(parameters[3], 240u);
    EXPECT_TRUE(capi->ControllerProfile().SupplementaryServices);
    EXPECT_TRUE(PumpUntil([&] { return lines.AppLines().filter(QStringLiteral("CAPI thread created: 0x")).size() == 1; }));
}

TEST_F(Registration, SecondOpenReturnsTrueWithoutALine)
{
    ASSERT_TRUE(OpenQuietly());
    EXPECT_TRUE(capi->OpenDevice(QStringLiteral("anything")));
    EXPECT_TRUE(lines.AppLines().isEmpty());
    EXPECT_EQ(VsimApplicationCount(), 1u);
}

TEST_F(Registration, CloseReleasesStopsTheThreadAndUnloads)
{
    ASSERT_TRUE(OpenQuietly());
    capi->CloseDevice();
    EXPECT_FALSE(capi->DeviceOpened());
    EXPECT_FALSE(capi->CapiLoaded());
    EXPECT_EQ(capi->ApplID(), 0u);
    EXPECT_EQ(capi->Thread(), nullptr);
    EXPECT_EQ(VsimApplicationCount(), 0u);
    const QStringList app = lines.AppLines();
    EXPECT_EQ(app.first(), QStringLiteral("CloseDevice"));
    EXPECT_TRUE(app.contains(QStringLiteral("Listen Request")));
    EXPECT_TRUE(app.contains(QStringLiteral("Release")));
    EXPECT_EQ(app.filter(QStringLiteral("CAPI thread terminating: 0x")).size(), 1);
    EXPECT_EQ(app.last(), QStringLiteral("UnloadCAPI"));
    // The listen-off request is traced but not handed to a driver that is not KORVAN.
    EXPECT_EQ(VsimCallCount(VsimPutMessage), 0u);
    EXPECT_EQ(lines.CapiLines().filter(QStringLiteral("Listen Request: 1A 00 01 00 05 80 01 00 01 00 00 00 ")).size(), 1);
}

TEST_F(Registration, KorvanDriverGetsTheListenOffRequestWithHandsetFlag)
{
    VsimSetManufacturer("KORVAN VoIP");
    capi->setHandsetCall(true);
    ASSERT_TRUE(Open());
    capi->CloseDevice();
    ASSERT_EQ(VsimPutCount(), 1u);
    uint8_t put[64] = {};
    ASSERT_EQ(VsimGetPut(0, put, sizeof put), 26u);
    EXPECT_EQ(put[4], 0x05);
    EXPECT_EQ(put[5], 0x80);
    EXPECT_EQ(put[8], 0x81); // controller 1 with the handset flag
    EXPECT_EQ(VsimViolationCount(), 0u);
}

TEST_F(Registration, NotInstalledClosesAgain)
{
    VsimSetResult(VsimInstalled, 1);
    EXPECT_FALSE(Open());
    const QStringList app = lines.AppLines();
    const QStringList tail = app.mid(app.size() - 5);
    EXPECT_EQ(tail, QStringList({QStringLiteral("No valid CAPI installed"), QStringLiteral("CapiInitialize failed"),
                                 QStringLiteral("CloseDevice"), QStringLiteral("UnloadCAPI"),
                                 QStringLiteral("OpenDevice failed")}));
    EXPECT_EQ(VsimCallCount(VsimRegister), 0u);
}

struct TRegisterFault {
    const char* name;
    bool raise;
    uint32_t result;
    const char* line;
};

class RegisterFault : public SimCapiTest, public ::testing::WithParamInterface<TRegisterFault> {};

TEST_P(RegisterFault, RefusedOrFaultingRegistrationFailsCleanly)
{
    const TRegisterFault& fault = GetParam();
    if (fault.raise)
        VsimSetThrow(VsimRegister, 1);
    else
        VsimSetResult(VsimRegister, fault.result);
    EXPECT_FALSE(Open());
    const QStringList app = lines.AppLines();
    EXPECT_TRUE(app.contains(QLatin1String(fault.line))) << app.join(u'|').toStdString();
    EXPECT_EQ(app.contains(QStringLiteral("Exception while calling CapiRegister!")), fault.raise);
    EXPECT_EQ(capi->ApplID(), 0u);
    EXPECT_EQ(capi->Thread(), nullptr);
    EXPECT_FALSE(capi->DeviceOpened());
}

INSTANTIATE_TEST_SUITE_P(Faults, RegisterFault,
                         ::testing::Values(TRegisterFault{"Refused", false, 0x1008, "Register failed: 0x00001008"},
                                           TRegisterFault{"Throws", true, 0, "Register failed: 0x0000FFFF"}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Registration, VersionTextFollowsTheManufacturer)
{
    VsimSetVersion(2, 0, 0x39, 0x05);
    ASSERT_TRUE(Open());
    EXPECT_EQ(capi->GetVersion(), QStringLiteral("2.0 (3.90-5)"));
    capi->CloseDevice();
    VsimSetManufacturer("Other Maker");
    VsimSetVersion(2, 0, 1, 2);
    ASSERT_TRUE(Open());
    EXPECT_EQ(capi->GetManufacturer(), QStringLiteral("Other Maker"));
    EXPECT_EQ(capi->GetVersion(), QStringLiteral("2.0 (1.2)"));
}

TEST_F(Registration, TheDriverIsAskedForManufacturerThenVersion)
{
    ASSERT_TRUE(Open());
    const QStringList capiLines = lines.CapiLines();
    QStringList queries;
    for (const QString& line : capiLines)
        if (line.startsWith(QLatin1String("Get ")))
            queries << line.section(u':', 0, 0);
    EXPECT_EQ(queries, (QStringList{QStringLiteral("Get Manufacturer"), QStringLiteral("Get Version"),
                                    QStringLiteral("Get Profile")}));
}

TEST_F(Registration, EmptyManufacturerTextReadsAsNoCapi)
{
    VsimSetManufacturer("");
    ASSERT_TRUE(Open());
    EXPECT_EQ(capi->GetManufacturer(), QStringLiteral("no CAPI available"));
}

TEST_F(Registration, ProfilesAndControllerCount)
{
    uint8_t profile[64] = {};
    profile[0] = 3;
    VsimSetProfile(0, profile);
    uint8_t second[64] = {};
    second[2] = 30;
    second[4] = 0xBF;
    second[5] = 0x02; // global options 0x2BF
    second[8] = 0x11;
    second[12] = 0x22;
    second[16] = 0x33;
    VsimSetProfile(2, second);
    ASSERT_TRUE(Open());
    EXPECT_EQ(capi->ControllerCount(), 3);
    const uint32_t profileCalls = VsimCallCount(VsimGetProfile);
    EXPECT_EQ(capi->GetProfile(0), TControllerProfile());
    EXPECT_EQ(VsimCallCount(VsimGetProfile), profileCalls);
    const TControllerProfile read = capi->GetProfile(2);
    EXPECT_EQ(read.BChannels, 30);
    EXPECT_EQ(read.GlobalOptions, 0x2BFu);
    EXPECT_TRUE(read.InternalController && read.ExternalEquipment && read.Handset && read.DTMF
                && read.SupplementaryServices && read.ChannelAllocation && read.GlobalOptionBit7
                && read.GlobalOptionBit9);
    EXPECT_EQ(read.B1Protocols, 0x11u);
    EXPECT_EQ(read.B2Protocols, 0x22u);
    EXPECT_EQ(read.B3Protocols, 0x33u);
    // The same controller again comes from the cache.
    EXPECT_EQ(capi->GetProfile(2), read);
    EXPECT_EQ(VsimCallCount(VsimGetProfile), profileCalls + 1);
}

TEST_F(Registration, ControllerCountIsBoundedForListenOff)
{
    uint8_t profile[64] = {};
    profile[0] = 0xFF;
    profile[1] = 0xFF; // a driver claiming 65535 controllers
    VsimSetProfile(0, profile);
    ASSERT_TRUE(Open());
    lines.Clear();
    capi->CloseDevice();
    EXPECT_EQ(lines.AppLines().filter(QStringLiteral("Listen Request")).size(), 127);
}

TEST(MessageNumbers, SkipTheConfirmationAndIndicationCodesAndWrap)
{
    TCapi20 capi;
    for (uint16_t expected = 1; expected <= 128; ++expected)
        ASSERT_EQ(capi.NextMessageNumber(), expected);
    EXPECT_EQ(capi.NextMessageNumber(), 131);
    uint16_t number = 131;
    while (number != 32767)
        number = capi.NextMessageNumber();
    EXPECT_EQ(capi.NextMessageNumber(), 0);
    EXPECT_EQ(capi.NextMessageNumber(), 1);
}

TEST_F(Registration, PutBeforeRegistrationCallsNothing)
{
    const auto listen = Message(0x05, 0x80);
    EXPECT_EQ(capi->PutCapiMessage(1, listen.data()), 0);
    EXPECT_EQ(VsimCallCount(VsimPutMessage), 0u);
    EXPECT_TRUE(lines.AppLines().isEmpty());
}

struct TPutResult {
    const char* name;
    uint32_t result;
    bool raise;
    uint16_t expected;
    bool fatal;
};

class PutResult : public SimCapiTest, public ::testing::WithParamInterface<TPutResult> {};

TEST_P(PutResult, FatalResultsAreReportedAndGoToOnError)
{
    const TPutResult& put = GetParam();
    ASSERT_TRUE(OpenQuietly());
    std::vector<std::pair<uint32_t, uint16_t>> errors;
    capi->OnError = [&](uint32_t plci, uint16_t type) { errors.emplace_back(plci, type); };
    VsimSetFatalText("controller firmware crashed");
    if (put.raise)
        VsimSetThrow(VsimPutMessage, 1);
    else
        VsimSetResult(VsimPutMessage, put.result);
    lines.Clear();
    auto message = Message(0xFF, 0x80);
    message[2] = uint8_t(capi->ApplID());
    EXPECT_EQ(capi->PutCapiMessage(capi->ApplID(), message.data()), put.expected);
    const QString line = QStringLiteral("PutCapiMessage error: 0x")
        + QString::number(put.expected, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    EXPECT_EQ(lines.HasAppLine(line), put.fatal) << lines.AppLines().join(u'|').toStdString();
    if (put.fatal) {
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, 0u);
        EXPECT_EQ(errors[0].second, put.expected);
        EXPECT_EQ(capi->FatalMessage(), QStringLiteral("controller firmware crashed"));
    } else {
        EXPECT_TRUE(errors.empty());
        EXPECT_TRUE(lines.AppLines().isEmpty());
    }
    EXPECT_TRUE(capi->DeviceOpened());
    VsimSetThrow(VsimPutMessage, 0);
    VsimSetResult(VsimPutMessage, 0);
}

INSTANTIATE_TEST_SUITE_P(Results, PutResult,
                         ::testing::Values(TPutResult{"QueueFull", 0x1103, false, 0x1103, false},
                                           TPutResult{"IllegalApplId", 0x1101, false, 0x1101, false},
                                           TPutResult{"Busy", 0x1105, false, 0x1105, true},
                                           TPutResult{"OsResource", 0x1108, false, 0x1108, true},
                                           TPutResult{"NotTheFatalClass", 0x2001, false, 0x2001, false},
                                           TPutResult{"DriverThrows", 0, true, 0x1105, true}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(Registration, FatalPutWithoutOnErrorClosesTheDevice)
{
    ASSERT_TRUE(Open());
    VsimSetResult(VsimPutMessage, 0x1105);
    auto message = Message(0xFF, 0x80);
    EXPECT_EQ(capi->PutCapiMessage(capi->ApplID(), message.data()), 0x1105);
    EXPECT_FALSE(capi->DeviceOpened());
    EXPECT_FALSE(capi->CapiLoaded());
    EXPECT_EQ(VsimApplicationCount(), 0u);
}

TEST_F(Registration, FatalGetOnTheReceiveThreadClosesOnTheMainThread)
{
    ASSERT_TRUE(Open());
    VsimSetThrow(VsimGetMessage, 1);
    Inject(Message(0xFF, 0x82));
    EXPECT_TRUE(PumpUntil([&] { return !capi->DeviceOpened(); }));
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("GetCapiMessage error: 0x1105")));
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("UnloadCAPI")));
    EXPECT_EQ(capi->Thread(), nullptr);
    VsimSetThrow(VsimGetMessage, 0);
}

TEST_F(Registration, FatalGetWithOnErrorLeavesTheDecisionToTheApplication)
{
    std::atomic<int> errors{0};
    std::atomic<bool> onReceiveThread{false};
    capi->OnError = [&](uint32_t, uint16_t type) {
        EXPECT_EQ(type, 0x1105);
        onReceiveThread = QThread::currentThread() == capi->Thread();
        ++errors;
        VsimSetThrow(VsimGetMessage, 0); // the driver recovers
    };
    VsimSetFatalText("lost the card");
    ASSERT_TRUE(Open());
    VsimSetThrow(VsimGetMessage, 1);
    Inject(Message(0xFF, 0x82));
    ASSERT_TRUE(PumpUntil([&] { return capi->RoutedMessages() == 1; }));
    EXPECT_EQ(errors.load(), 1);
    EXPECT_TRUE(onReceiveThread.load());
    EXPECT_EQ(capi->FatalMessage(), QStringLiteral("lost the card"));
    EXPECT_TRUE(capi->DeviceOpened());
}

TEST_F(Registration, FaultInWaitEndsTheReceiveLoop)
{
    VsimSetThrow(VsimWaitForSignal, 1);
    ASSERT_TRUE(Open());
    EXPECT_TRUE(PumpUntil([&] { return capi->Thread()->isFinished(); }));
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("CAPI died")));
    EXPECT_EQ(lines.AppLines().filter(QStringLiteral("CAPI thread terminating")).size(), 1);
    capi->CloseDevice();
    EXPECT_FALSE(capi->DeviceOpened());
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("Release")));
}

TEST_F(Registration, DestroyingAnOpenComponentStopsItsThread)
{
    ASSERT_TRUE(Open());
    Inject(Message(0xFF, 0x82));
    capi.reset();
    EXPECT_EQ(VsimApplicationCount(), 0u);
    capi = std::make_unique<TCapi20>();
}

TEST_F(Registration, DestroyingAComponentRegisteredWithoutOpenDeviceStopsItsThread)
{
    ASSERT_TRUE(capi->LoadCAPI(kSimLibrary));
    ASSERT_EQ(capi->CapiInitialize(), 0);
    ASSERT_FALSE(capi->DeviceOpened());
    ASSERT_NE(capi->Thread(), nullptr);
    Inject(Message(0xFF, 0x82));
    capi.reset();
    EXPECT_EQ(VsimApplicationCount(), 0u);
    capi = std::make_unique<TCapi20>();
}

} // namespace
