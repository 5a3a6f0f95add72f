// vessik-cli monitor on the simulated controller played by a script: the
// event lines exactly, the messages it puts, its options and its failures.

#include "../ProcessRun.h"
#include "TFCapi20.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace vtest;

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);

TRun RunMonitor(const QStringList& args, const QStringList& settings = {})
{
    return RunProgram(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("monitor")} + args, settings);
}

// Time stamps vary from run to run.
QStringList WithoutTimes(QStringList lines)
{
    static const QRegularExpression stamp(QStringLiteral("\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d"));
    for (QString& line : lines)
        line.replace(stamp, QStringLiteral("TIME"));
    return lines;
}

// A received SETUP on the D-channel, then a KORVAN service-discovery
// indication whose texts need escaping.
constexpr char kScript[] = R"(R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
MSG 27 00 00 00 FF 82 05 00 01 00 00 00 4B 4F 52 56 0F 07 73 69 70 3A 61 22 62 05 70 09 62 2E 78 78 00 00 00 03 C3 84 31
)";

class MonitorCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        putLog = dir.filePath(QStringLiteral("put.txt"));
    }
    QStringList Script(const char* text)
    {
        const QString path = dir.filePath(QStringLiteral("script.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return {QStringLiteral("VESSIK_SIM_SCENARIO=") + path, QStringLiteral("VESSIK_SIM_SCRIPTED=1"),
                QStringLiteral("VESSIK_SIM_PUTLOG=") + putLog};
    }
    QStringList Puts() const
    {
        QFile file(putLog);
        return file.open(QIODevice::ReadOnly) ? Lines(file.readAll()) : QStringList();
    }

    QTemporaryDir dir;
    QString putLog;
};

TEST_F(MonitorCommand, PrintsTheEventsOfAScriptExactly)
{
    const TRun run = RunMonitor({"--driver", kSim, "--count", "6"}, Script(kScript));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(WithoutTimes(run.out),
              (QStringList{
                  "event OnL3Trace PLCI_NCCI=0x00000000 Info=\"TIME: R: setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 "
                  "18 01 89 \"",
                  "event OnL3TraceCall PLCI_NCCI=0x00000005 InfoType=5 InfoStr=\"setup\"",
                  "event OnL3TraceCall PLCI_NCCI=0x00000005 InfoType=0 InfoStr=\"R\"",
                  "event OnL3TraceCall PLCI_NCCI=0x00000005 InfoType=1004 InfoStr=\"\"",
                  "event OnL3TraceCall PLCI_NCCI=0x00000005 InfoType=1024 InfoStr=\"B1\"",
                  QString::fromUtf8("event OnMDNS PLCI_NCCI=0x00000001 TTL=120 URI=\"sip:a\\\"b\" Host=\"p\\u0009b.x\" "
                                    "Software=\"\xC3\x84" "1\""),
              }));
}

// The call-control handlers are built beside this command; until TCapi20
// answers calls, a scripted call gives no events.
template <typename TComponent>
constexpr bool HasCallControl()
{
    return requires(TComponent& capi) { capi.ConnectResponse(uint32_t(0), uint16_t(0), uint16_t(0), QString()); };
}

// An incoming call that another terminal answers, up and cleared again.
constexpr char kCallScript[] = R"(wait 300
MSG 29 00 00 00 02 82 01 00 01 01 00 00 10 00 05 80 34 37 31 31 0B 21 83 33 30 31 32 33 34 35 36 37 00 00 03 80 90 A3 00 00 00
MSG 0F 00 00 00 03 82 02 00 01 01 00 00 00 00 00
MSG 0D 00 00 00 82 82 03 00 01 01 01 00 00
MSG 0D 00 00 00 83 82 04 00 01 01 01 00 00
MSG 0F 00 00 00 84 82 05 00 01 01 01 00 00 00 00
MSG 0E 00 00 00 04 82 06 00 01 01 00 00 00 00
)";

TEST_F(MonitorCommand, ScriptedCallGivesItsEventsAndResponsesExactly)
{
    if constexpr (!HasCallControl<TCapi20>())
        GTEST_SKIP() << "TCapi20 has no ConnectResponse yet: the call-control handlers are not built";
    const TRun run = RunMonitor({"--driver", kSim, "--count", "5"}, Script(kCallScript));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, (QStringList{
                           "event OnConnect PLCI_NCCI=0x00000101 NotifyType=1",
                           "event OnConnectActive PLCI_NCCI=0x00000101 NotifyType=130",
                           "event OnB3Active PLCI_NCCI=0x00010101 NotifyType=130",
                           "event OnDisconnectB3 PLCI_NCCI=0x00010101 NotifyType=130",
                           "event OnDisconnect PLCI_NCCI=0x00000101 Info=\"\"",
                       }));
    // The monitor answers no call, but every other indication gets its response.
    const QStringList puts = Puts();
    ASSERT_GE(puts.size(), 7) << puts.join(u'\n').toStdString();
    EXPECT_EQ(puts.mid(2, 5), (QStringList{
                                  "0C 00 01 00 03 83 02 00 01 01 00 00",
                                  "0F 00 01 00 82 83 03 00 01 01 01 00 00 00 00",
                                  "0C 00 01 00 83 83 04 00 01 01 01 00",
                                  "0C 00 01 00 84 83 05 00 01 01 01 00",
                                  "0C 00 01 00 04 83 06 00 01 01 00 00",
                              }));
}

TEST_F(MonitorCommand, ListensForTheAcceptedCallTypesAndTracesTheDChannel)
{
    const TRun run = RunMonitor({"--driver", kSim, "--count", "1"}, Script(kScript));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList puts = Puts();
    ASSERT_GE(puts.size(), 2);
    // LISTEN_REQ, controller 1, no info, the Telephony CIP mask 0x00010012.
    EXPECT_EQ(puts[0], "1A 00 01 00 05 80 01 00 01 00 00 00 00 00 00 00 12 00 01 00 00 00 00 00 00 00");
    EXPECT_TRUE(puts[1].startsWith(QLatin1String("1D 00 01 00 FF 80 02 00 01 00 00 00 41 56 4D 21")))
        << puts[1].toStdString(); // the trace request
}

TEST_F(MonitorCommand, AcceptSetsTheCipMaskOfTheListenRequest)
{
    const TRun run = RunMonitor({"--driver", kSim, "--count", "1", "--accept", "Fax_G2_G3,Data_64,Msg"}, Script(kScript));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_FALSE(Puts().isEmpty());
    EXPECT_EQ(Puts()[0], "1A 00 01 00 05 80 01 00 01 00 00 00 00 00 00 00 14 00 02 01 00 00 00 00 00 00");
}

TEST_F(MonitorCommand, DiagnosticAndDumpLinesAreNoEventLines)
{
    const TRun run = RunMonitor({"--driver", kSim, "--trace", "--capi", "--count", "1"}, Script(kScript));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = WithoutTimes(run.out);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.front(), QStringLiteral("trace TIME: OpenDevice (") + kSim + u')');
    EXPECT_TRUE(lines.contains(QStringLiteral("capi TIME: Register returns: 01 00 00 00 ")));
    EXPECT_TRUE(lines.back().startsWith(QLatin1String("event OnL3Trace "))) << lines.back().toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(QLatin1String("trace TIME: ")) || line.startsWith(QLatin1String("capi TIME: "))
                    || line.startsWith(QLatin1String("event OnL3Trace")))
            << line.toStdString();
}

TEST_F(MonitorCommand, TerminationEndsItCleanly)
{
    QProcess process;
    process.setProcessEnvironment(Environment(Script(kScript)));
    process.start(QStringLiteral(VESSIK_CLI), {QStringLiteral("monitor"), QStringLiteral("--driver"), kSim});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("OnMDNS") && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    ASSERT_TRUE(out.contains("OnMDNS")) << out.toStdString();
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    // The trace was switched off before the device was closed.
    const QStringList puts = Puts();
    ASSERT_GE(puts.size(), 2);
    EXPECT_TRUE(puts.back().startsWith(QLatin1String("1D 00 01 00 FF 80")));
    EXPECT_TRUE(puts.back().endsWith(QLatin1String(" 04 00 00 00 00"))) << puts.back().toStdString();
}

TEST_F(MonitorCommand, MissingDriverGivesTheLoadersText)
{
    const TRun run = RunMonitor({"--driver", dir.filePath(QStringLiteral("no-such-driver.so"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("no CAPI available"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("LoadCAPI: loadLibrary failed: 0x"))) << run.err.toStdString();
}

struct TBadArguments {
    const char* name;
    QStringList args;
};

class MonitorArguments : public ::testing::TestWithParam<TBadArguments> {};

TEST_P(MonitorArguments, AreRefusedWithUsage)
{
    const TRun run = RunMonitor(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("Usage: vessik-cli monitor"))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, MonitorArguments,
    ::testing::Values(TBadArguments{"UnknownCallType", {"--accept", "Telephony,Video"}},
                      TBadArguments{"CallTypeInLowerCase", {"--accept", "telephony"}},
                      TBadArguments{"AcceptWithoutTypes", {"--accept"}},
                      TBadArguments{"UnknownCip", {"--cip", "CIPVideo"}}, TBadArguments{"CipWithoutType", {"--cip"}},
                      TBadArguments{"ControllerNotANumber", {"--controller", "one"}},
                      TBadArguments{"ControllerTooLarge", {"--controller", "4294967296"}},
                      TBadArguments{"CountZero", {"--count", "0"}}, TBadArguments{"CountNegative", {"--count", "-1"}},
                      TBadArguments{"DriverWithoutLibrary", {"--driver"}}, TBadArguments{"MsnWithoutList", {"--msn"}},
                      TBadArguments{"UnknownOption", {"--answer"}}, TBadArguments{"Extra", {"extra"}}),
    [](const ::testing::TestParamInfo<TBadArguments>& param) { return std::string(param.param.name); });

TEST(MonitorCommandHelp, ShowsUsage)
{
    const TRun run = RunMonitor({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.join(u'\n').contains(QLatin1String("--accept TYPES")));
}

} // namespace
