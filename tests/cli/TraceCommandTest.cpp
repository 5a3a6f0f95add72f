// vessik-cli trace run on the simulated controller: the lines as they arrive,
// the log it writes, its signals and its failures.

#include "../ProcessRun.h"
#include "../TestNames.h"
#include "LogFile.h"
#include "LogFormat.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace vtest;

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);

TRun RunTrace(const QStringList& args, const QStringList& settings = {})
{
    return RunProgram(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("trace")} + args, settings);
}

// The line without its time stamp (everything up to the first ": ").
QString WithoutTime(const QString& line)
{
    return line.section(QStringLiteral(": "), 1);
}

bool HasTimeStamp(const QString& line)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d: "));
    return stamp.match(line).hasMatch();
}

constexpr char kScenario[] = R"(# A call as the controller traced it.
R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
T 00 81 00 00 08 01 85 01 18 01 89
R 00 81 01 02
wait 20
T 00 81 02 00 08 01 85 07
this line is not understood and skipped
R 02 81 00 04 08 01 05 0F
)";

class TraceCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        scenario = dir.filePath(QStringLiteral("call.txt"));
        QFile file(scenario);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kScenario);
    }
    QStringList ScenarioSettings() const { return {QStringLiteral("VESSIK_SIM_SCENARIO=") + scenario}; }

    QTemporaryDir dir;
    QString scenario;
};

TEST_F(TraceCommand, PrintsEveryFrameOfTheScenario)
{
    const TRun run = RunTrace({"--driver", kSim, "--count", "4"}, ScenarioSettings());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList expected = {
        "R: setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 ",
        "T: alerting(05): 00 81 00 00 08 01 85 01 18 01 89 ",
        "T: connect(05): 00 81 02 00 08 01 85 07 ",
        "R: connect acknowledge(05): 02 81 00 04 08 01 05 0F ",
    };
    ASSERT_EQ(run.out.size(), expected.size()) << run.out.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(HasTimeStamp(run.out[i])) << run.out[i].toStdString();
        EXPECT_EQ(WithoutTime(run.out[i]), expected[i]);
    }
    EXPECT_TRUE(run.err.contains(QLatin1String("line 7"))) << run.err.toStdString(); // the skipped line
}

TEST_F(TraceCommand, LayerTwoOptionShowsEveryFrame)
{
    const TRun run = RunTrace({"--driver", kSim, "--l2", "--count", "5"}, ScenarioSettings());
    EXPECT_EQ(run.status, 0);
    QStringList got;
    for (const QString& line : run.out)
        got << WithoutTime(line);
    EXPECT_EQ(got, (QStringList{
                       "R: UI(7F), setup(05): 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 ",
                       "T: I(40), alerting(05): 00 81 00 00 08 01 85 01 18 01 89 ",
                       "R: RR(40): 00 81 01 02 ",
                       "T: I(40), connect(05): 00 81 02 00 08 01 85 07 ",
                       "R: I(40), connect acknowledge(05): 02 81 00 04 08 01 05 0F ",
                   }));
}

TEST_F(TraceCommand, LogFileHoldsTheRowsTheWindowWouldShow)
{
    const QString log = dir.filePath(QStringLiteral("capture.log"));
    const TRun run = RunTrace({"--driver", kSim, "--count", "2", "--log", log}, ScenarioSettings());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.peek(3) == QByteArray(kLogBom));
    file.close();
    TLogRows rows;
    ASSERT_EQ(LoadLog(log, u';', 4, false, rows), TLogLoad::Loaded);
    ASSERT_EQ(rows.Count(), 2);
    for (qsizetype row = 0; row < 2; ++row)
        EXPECT_EQ(rows.Text(row, 0), run.out[row].section(QStringLiteral(": "), 0, 0));
    EXPECT_EQ(rows.Texts(0).mid(1), (QStringList{"R", "setup(05)", "02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89"}));
    EXPECT_EQ(rows.Texts(1).mid(1), (QStringList{"T", "alerting(05)", "00 81 00 00 08 01 85 01 18 01 89"}));
}

TEST_F(TraceCommand, LogFileOfAnEarlierCaptureKeepsItsRows)
{
    const QString log = dir.filePath(QStringLiteral("twice.log"));
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(RunTrace({"--driver", kSim, "--count", "2", "--log", log}, ScenarioSettings()).status, 0);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count(kLogBom), 1); // one byte-order mark, at the start
    TLogRows rows;
    ASSERT_EQ(LoadLog(log, u';', 4, false, rows), TLogLoad::Loaded);
    ASSERT_EQ(rows.Count(), 4);
    EXPECT_EQ(rows.Text(2, 2), QLatin1String("setup(05)"));
}

TEST_F(TraceCommand, KorvanDriverGivesItsTextForm)
{
    QStringList settings = ScenarioSettings();
    settings << QStringLiteral("VESSIK_SIM_MANUFACTURER=KORVAN VoIP CAPI");
    const QString log = dir.filePath(QStringLiteral("korvan.log"));
    const TRun run = RunTrace({"--driver", kSim, "--count", "6", "--log", log}, settings);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 6);
    const QString hyphens(43, u'-');
    EXPECT_EQ(run.out[0], hyphens);
    EXPECT_TRUE(HasTimeStamp(run.out[1]));
    EXPECT_EQ(WithoutTime(run.out[1]), QLatin1String("R: Q.931 SETUP"));
    EXPECT_EQ(run.out[2], QLatin1String("02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 "));
    EXPECT_EQ(run.out[3], hyphens);
    EXPECT_EQ(WithoutTime(run.out[4]), QLatin1String("T: Q.931 ALERTING"));
    // One row per head line, as in the window.
    TLogRows rows;
    ASSERT_EQ(LoadLog(log, u';', 4, false, rows), TLogLoad::Loaded);
    ASSERT_EQ(rows.Count(), 2);
    EXPECT_EQ(rows.Texts(0).mid(1), (QStringList{"R", "", "Q.931 SETUP"}));
}

struct TSignalCase {
    const char* name;
    int signal;
};

class TraceSignal : public ::testing::TestWithParam<TSignalCase> {};

TEST_P(TraceSignal, EndsTheDemoCleanly)
{
    QProcess process;
    process.setProcessEnvironment(Environment({QStringLiteral("VESSIK_SIM_STATS=1")}));
    process.start(QStringLiteral(VESSIK_CLI), {QStringLiteral("trace"), QStringLiteral("--driver"), kSim});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    ASSERT_TRUE(out.contains('\n')) << "the demo printed nothing";
    ::kill(pid_t(process.processId()), GetParam().signal);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    out += process.readAllStandardOutput();
    for (const QString& line : Lines(out))
        EXPECT_TRUE(HasTimeStamp(line)) << line.toStdString();
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QLatin1String("0 answered with a wrong message number"))) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Signals, TraceSignal,
                         ::testing::Values(TSignalCase{"SIGINT", SIGINT}, TSignalCase{"SIGTERM", SIGTERM}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(TraceCommand, MissingDriverIsReportedWithTheManufacturerText)
{
    const TRun run = RunTrace({"--driver", dir.filePath(QStringLiteral("no-such-driver.so"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("no CAPI available"))) << run.err.toStdString();
}

TEST_F(TraceCommand, ControllerWithoutTraceIsReported)
{
    const TRun run = RunTrace({"--driver", kSim}, {QStringLiteral("VESSIK_SIM_MANUFACTURER=Acme ISDN")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("Acme ISDN"))) << run.err.toStdString();
}

TEST_F(TraceCommand, UnwritableLogIsReportedBeforeTracing)
{
    const TRun run = RunTrace({"--driver", kSim, "--log", dir.filePath(QStringLiteral("missing/dir/x.log"))},
                              ScenarioSettings());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("log file"))) << run.err.toStdString();
}

struct TBadArguments {
    QStringList args;
};

class TraceArguments : public ::testing::TestWithParam<TBadArguments> {};

TEST_P(TraceArguments, AreRefusedWithUsage)
{
    const TRun run = RunTrace(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String("Usage: vessik-cli trace"))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, TraceArguments,
                         ::testing::Values(TBadArguments{{"--count", "0"}}, TBadArguments{{"--count", "many"}},
                                           TBadArguments{{"--count", "-3"}}, TBadArguments{{"--count"}},
                                           TBadArguments{{"--driver"}}, TBadArguments{{"--log"}},
                                           TBadArguments{{"--bogus"}}, TBadArguments{{"extra"}}),
                         [](const auto& testCase) { return CaseName(testCase.param.args.join(u' ').toStdString(), testCase.index); });

TEST(TraceCommandHelp, ShowsUsage)
{
    const TRun run = RunTrace({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.join(u'\n').contains(QLatin1String("--count N")));
}

} // namespace
