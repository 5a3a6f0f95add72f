#include "../TestNames.h"
#include "CapiTestSupport.h"
#include "Prefixes.h"

#include <QRegularExpression>

namespace {

TEST(Component, InitialValues)
{
    TCapi20 capi;
    EXPECT_EQ(capi.FatalMessage(), QString());
    EXPECT_EQ(capi.CalledPartyNumber(), QString());
    EXPECT_EQ(capi.CallingPartyNumber(), QString());
    EXPECT_FALSE(capi.IsCallWaiting());
    EXPECT_EQ(capi.CallingCIP(), 0);
    EXPECT_TRUE(capi.IncomingCalls().IsEmpty());
    EXPECT_EQ(capi.CIP(), TCIPType::CIPData_X75);
    EXPECT_EQ(capi.Controller(), 1u);
    EXPECT_TRUE(capi.InfoMsg().IsEmpty());
    EXPECT_TRUE(capi.MSN().isEmpty());
    EXPECT_FALSE(capi.Wideband());
    EXPECT_TRUE(capi.Presentation());
    EXPECT_FALSE(capi.HandsetCall());
    EXPECT_TRUE(capi.BufferOutData());
    EXPECT_TRUE(capi.DirectInData());
    EXPECT_FALSE(capi.PowerManagement());
    EXPECT_EQ(capi.PrefixNational(), QStringLiteral("0"));
    EXPECT_EQ(capi.PrefixInternational(), QStringLiteral("00"));
    EXPECT_FALSE(capi.LinearPCMData());
    EXPECT_EQ(capi.SampleRate(), 8000);
    EXPECT_FALSE(capi.DeviceOpened());
    EXPECT_TRUE(capi.DoRegisterRequestRecipient());
    EXPECT_EQ(capi.ApplID(), 0u);
    EXPECT_EQ(capi.CIPMask(), 0u);
    EXPECT_EQ(capi.B1Protocol(), 0);
    EXPECT_EQ(capi.B2Protocol(), 0);
    EXPECT_EQ(capi.B3Protocol(), 0);
    EXPECT_FALSE(capi.OnL3Trace);
    EXPECT_FALSE(capi.OnMsgHandler);
}

TEST(Component, SetsAreStoredInTheirWidths)
{
    static_assert(sizeof(TCIPMasks) == 1);
    static_assert(sizeof(TInfoMasks) == 2);
    EXPECT_EQ(TInfoMasks({TInfoMask::Cause, TInfoMask::SendingComplete}).Bits(), 0x0801);
    EXPECT_EQ(TCIPMasks({TCIPMask::Msg}).Bits(), 0x40);
}

struct TMaskCase {
    TCIPMasks calls;
    uint32_t mask;
};

class IncomingCallsMask : public ::testing::TestWithParam<TMaskCase> {};

TEST_P(IncomingCallsMask, GivesTheCipMask)
{
    TCapi20 capi;
    capi.setIncomingCalls(GetParam().calls);
    EXPECT_EQ(capi.CIPMask(), GetParam().mask);
    EXPECT_EQ(capi.IncomingCalls(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, IncomingCallsMask,
    ::testing::Values(TMaskCase{{}, 0}, TMaskCase{{TCIPMask::Telephony, TCIPMask::Fax_G2_G3}, 0x00030012},
                      TMaskCase{{TCIPMask::Telephony, TCIPMask::Fax_G2_G3, TCIPMask::Data_64, TCIPMask::Data_56,
                                 TCIPMask::Fax_G4, TCIPMask::Data_Standard, TCIPMask::Msg},
                                0x0107011E},
                      TMaskCase{{TCIPMask::Data_56}, 0x00000100}),
                         [](const auto& testCase) { return CaseName("Mask " + HexOctet(uint8_t(testCase.param.mask >> 24)) + HexOctet(uint8_t(testCase.param.mask >> 16)) + HexOctet(uint8_t(testCase.param.mask >> 8)) + HexOctet(uint8_t(testCase.param.mask)), testCase.index); });

TEST(Component, CipSetterGivesTheBProtocols)
{
    TCapi20 capi;
    capi.setCIP(TCIPType::CIPFax);
    EXPECT_EQ(capi.B1Protocol(), 4);
    EXPECT_EQ(capi.B2Protocol(), 4);
    EXPECT_EQ(capi.B3Protocol(), 4);
    capi.setCIP(TCIPType::CIPVoice);
    EXPECT_EQ(capi.B1Protocol(), 1);
    EXPECT_EQ(capi.B2Protocol(), 1);
    EXPECT_EQ(capi.B3Protocol(), 0);
    capi.setCIP(TCIPType::CIPMsg);
    EXPECT_EQ(capi.CIP(), TCIPType::CIPMsg);
    EXPECT_EQ(capi.B1Protocol(), 1);
    capi.setCIP(TCIPType(9)); // out of range: ignored
    EXPECT_EQ(capi.CIP(), TCIPType::CIPMsg);
}

TEST(Component, PrefixesReachTheDecoder)
{
    TCapi20 capi;
    capi.setPrefixNational(QStringLiteral("+49"));
    capi.setPrefixInternational(QStringLiteral("+"));
    EXPECT_EQ(NationalPrefix(), QStringLiteral("+49"));
    EXPECT_EQ(InternationalPrefix(), QStringLiteral("+"));
    capi.setPrefixNational(QStringLiteral("0"));
    capi.setPrefixInternational(QStringLiteral("00"));
    EXPECT_EQ(NationalPrefix(), QStringLiteral("0"));
}

TEST(Component, CreationCallsTheOwnersHelpHandlerOnce)
{
    std::vector<std::pair<uint16_t, QString>> calls;
    TCapi20 capi(nullptr, [&](uint16_t command, const QString& data, bool& callHelp) {
        EXPECT_FALSE(callHelp);
        calls.emplace_back(command, data);
        return true;
    });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, 0xFFFF);
    EXPECT_EQ(calls[0].second, QStringLiteral("initialising CAPI"));
}

TEST(Component, OwnerOwnsTheComponent)
{
    auto* owner = new QObject;
    auto* capi = new TCapi20(owner);
    EXPECT_EQ(capi->parent(), owner);
    delete owner; // frees the component
}

TEST(Component, TimeStampFallsBackToTheTimeOfDay)
{
    TCapi20 capi;
    QString line;
    capi.OnAppTrace = [&](uint32_t plci, const QString& text) {
        EXPECT_EQ(plci, 0u);
        line = text;
    };
    capi.AppTrace(QString()); // empty text: no line
    EXPECT_TRUE(line.isEmpty());
    capi.AppTrace(QStringLiteral("hello"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d: hello$")).match(line).hasMatch())
        << line.toStdString();
}

TEST(Component, CapiTraceDumpsHexAndEmptyDumps)
{
    TCapi20 capi;
    TLineRecorder lines;
    lines.Attach(capi);
    const uint8_t bytes[] = {0x00, 0x0C, 0xAB};
    capi.CapiTrace(QStringLiteral("Title"), bytes, 3);
    capi.CapiTrace(QStringLiteral("Empty"), nullptr, 0);
    EXPECT_EQ(lines.CapiLines(), QStringList({QStringLiteral("Title: 00 0C AB "), QStringLiteral("Empty: ")}));
}

} // namespace
