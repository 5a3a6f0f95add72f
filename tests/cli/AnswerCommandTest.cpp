// vessik-cli answer on the simulated controller's live calls: the greeting as
// the controller received it, the recording as the controller sent it, the
// line per call, two calls at once, the end of a call by time and by signal,
// and its failures.

#include "../AnswerCall.h"
#include "../ProcessRun.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using namespace vtest;

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);
constexpr size_t kSignalSamples = 2 * kLineRate; // loops on the line
constexpr size_t kGreetingSamples = kLineRate;
constexpr char kFirstCaller[] = "0301234567";
constexpr char kSecondCaller[] = "08912345678";
constexpr char kCalled[] = "4567";

class AnswerCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        signal = LineExactSamples(kSignalSamples, 1);
        greeting = LineExactSamples(kGreetingSamples, 2);
        WriteWav(Path("caller.wav"), signal);
        WriteWav(Path("greeting.wav"), greeting);
    }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QStringList Args() const { return {"--greeting", Path("greeting.wav"), "--record", Path("out"), "--driver", kSim}; }
    // One call that the caller ends after talkMs; the controller records what it receives.
    QStringList OneCall(int talkMs) const
    {
        return {QStringLiteral("VESSIK_SIM_AUDIO=") + Path("caller.wav"),
                QStringLiteral("VESSIK_SIM_RECORD=") + Path("line.raw"),
                QStringLiteral("VESSIK_SIM_CALL_INTERVAL_MS=60000"),
                QStringLiteral("VESSIK_SIM_TALK_MS=%1").arg(talkMs)};
    }
    // The recording of a line, checked against what the controller sent:
    // from its first block on, sample for sample.
    std::vector<int16_t> CheckRecording(const QStringList& fields) const
    {
        const std::vector<int16_t> recording = ReadRecording(QDir(Path("out")).filePath(fields.value(4)));
        EXPECT_EQ(OffsetInSignal(signal, recording), 0) << "the first blocks are missing";
        EXPECT_EQ(MatchingSamples(signal, recording, 0), recording.size());
        EXPECT_EQ(QString::number(double(recording.size()) / kLineRate, 'f', 1), fields.value(3));
        return recording;
    }

    QTemporaryDir dir;
    std::vector<int16_t> signal;
    std::vector<int16_t> greeting;
};

// time, calling, called, seconds, file
QStringList Fields(const QString& line)
{
    const QStringList fields = line.split(u'\t');
    EXPECT_EQ(fields.size(), 5) << line.toStdString();
    return fields;
}

TEST_F(AnswerCommand, PlaysTheGreetingAndRecordsWhatTheCallerSends)
{
    const TRun run = AnswerUntilLines(Args(), OneCall(3000), 1);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 1);
    const QStringList fields = Fields(run.out[0]);
    ASSERT_EQ(fields.size(), 5);
    const QDateTime offered = QDateTime::fromString(fields[0], Qt::ISODate);
    ASSERT_TRUE(offered.isValid()) << fields[0].toStdString();
    static const QRegularExpression kTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(kTime.match(fields[0]).hasMatch()) << fields[0].toStdString();
    EXPECT_EQ(fields[1], kFirstCaller);
    EXPECT_EQ(fields[2], kCalled);
    EXPECT_EQ(fields[4], offered.toString(QStringLiteral("yyyyMMdd-HHmmss-")) + kFirstCaller + ".wav");

    // The caller talked for 3 s from the answer on; the B3 connection took
    // some of it, a loaded machine more.
    const std::vector<int16_t> recording = CheckRecording(fields);
    EXPECT_GE(recording.size(), size_t(kLineRate / 2));
    EXPECT_LE(recording.size(), size_t(3 * kLineRate));

    // The controller got the greeting from its start, as the component sent it.
    const std::vector<int16_t> received = ReadLineRecord(Path("line.raw"));
    EXPECT_GE(received.size(), size_t(kLineRate / 2));
    ASSERT_LE(received.size(), greeting.size()) << "played once, nothing after it";
    EXPECT_TRUE(std::equal(received.begin(), received.end(), greeting.begin()));
}

TEST_F(AnswerCommand, TwoCallsAtOnceGetAFileAndALineEach)
{
    // Two B channels; the second call comes while the first still talks.
    const QStringList settings = {QStringLiteral("VESSIK_SIM_AUDIO=") + Path("caller.wav"),
                                  QStringLiteral("VESSIK_SIM_LINES=2"),
                                  QStringLiteral("VESSIK_SIM_CALL_INTERVAL_MS=400"),
                                  QStringLiteral("VESSIK_SIM_TALK_MS=3000")};
    const TRun run = AnswerUntilLines(Args(), settings, 2);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_GE(run.out.size(), 2) << run.err.toStdString();
    // The first call usually ends first; a loaded machine may swap the lines.
    QStringList lines = run.out.mid(0, 2);
    lines.sort();
    const QStringList first = Fields(lines[0]);
    const QStringList second = Fields(lines[1]);
    ASSERT_EQ(first.size(), 5);
    ASSERT_EQ(second.size(), 5);
    EXPECT_EQ(first[1], kFirstCaller) << run.out.join(u'\n').toStdString();
    EXPECT_EQ(second[1], kSecondCaller) << run.out.join(u'\n').toStdString();
    EXPECT_NE(first[4], second[4]);
    // Each call's recording is its own stream from its first block on.
    EXPECT_GE(CheckRecording(first).size(), size_t(kLineRate / 2)) << run.out.join(u'\n').toStdString();
    EXPECT_GE(CheckRecording(second).size(), size_t(kLineRate / 2)) << run.out.join(u'\n').toStdString();
}

TEST_F(AnswerCommand, CallerWhoHangsUpWhileItRingsGetsALineWithoutFile)
{
    // The call is for one of the own numbers, and rings 0.5 s of the 5 s it
    // would have to ring before it is taken.
    const QStringList settings = {QStringLiteral("VESSIK_SIM_CALL_INTERVAL_MS=60000"),
                                  QStringLiteral("VESSIK_SIM_RING_MS=500")};
    const TRun run =
        AnswerUntilLines(Args() + QStringList{"--msn", "1111,4567", "--rings", "5"}, settings, 1, 20000);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 1);
    const QStringList fields = Fields(run.out[0]);
    EXPECT_EQ(fields.mid(1), (QStringList{kFirstCaller, kCalled, "0.0", "-"}));
    EXPECT_TRUE(QDir(Path("out")).entryList(QDir::Files).isEmpty());
}

TEST_F(AnswerCommand, MaxSecondsClearsTheCall)
{
    const TRun run = AnswerUntilLines(Args() + QStringList{"--max-seconds", "1"}, OneCall(60000), 1, 20000);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 1);
    const QStringList fields = Fields(run.out[0]);
    const double seconds = fields.value(3).toDouble();
    EXPECT_GE(seconds, 0.5);
    EXPECT_LE(seconds, 1.0) << "never more than the longest recording";
    CheckRecording(fields);
}

TEST_F(AnswerCommand, TerminationClearsTheOpenCallAndCompletesItsFile)
{
    QProcess process;
    process.setProcessEnvironment(Environment(OneCall(60000)));
    process.start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("answer")} + Args());
    ASSERT_TRUE(process.waitForStarted(10000));
    const QDir out(Path("out"));
    for (int i = 0; i < 200 && out.entryList(QDir::Files).isEmpty(); ++i)
        QThread::msleep(50);
    ASSERT_FALSE(out.entryList(QDir::Files).isEmpty()) << "no call was answered";
    QThread::msleep(800);
    process.terminate();
    EXPECT_EQ(Finish(process, 15000), 0);
    const QStringList lines = Lines(process.readAllStandardOutput());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_GT(CheckRecording(Fields(lines[0])).size(), 0u);
}

TEST_F(AnswerCommand, UnloadableDriverGivesTheLoadersText)
{
    const TRun run = RunProgram(QStringLiteral(VESSIK_CLI),
                         {"answer", "--greeting", Path("greeting.wav"), "--record", Path("out"), "--driver",
                          Path("no-such-driver.so")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("cannot open the CAPI device"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("LoadCAPI: loadLibrary failed: 0x"))) << run.err.toStdString();
}

TEST_F(AnswerCommand, UnreadableGreetingIsABadArgument)
{
    QFile text(Path("greeting.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio\n");
    text.close();
    for (const char* greetingFile : {"greeting.txt", "missing.wav"}) {
        const TRun run = RunProgram(QStringLiteral(VESSIK_CLI),
                             {"answer", "--greeting", Path(greetingFile), "--record", Path("out"), "--driver", kSim});
        EXPECT_EQ(run.status, 2) << greetingFile;
        EXPECT_TRUE(run.err.contains(QLatin1String("cannot read the greeting"))) << run.err.toStdString();
    }
}

TEST_F(AnswerCommand, RecordFolderThatCannotBeMadeIsABadArgument)
{
    const TRun run = RunProgram(QStringLiteral(VESSIK_CLI),
                         {"answer", "--greeting", Path("greeting.wav"), "--record", "/dev/null/out", "--driver", kSim});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String("cannot write recordings to \"/dev/null/out\"")))
        << run.err.toStdString();
}

struct TBadArguments {
    const char* name;
    QStringList args;
};

class AnswerArguments : public ::testing::TestWithParam<TBadArguments> {};

TEST_P(AnswerArguments, AreRefusedWithUsage)
{
    QTemporaryDir dir;
    QStringList args = GetParam().args;
    args.replaceInStrings(QStringLiteral("DIR"), dir.path());
    const TRun run = RunProgram(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("answer")} + args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QLatin1String("Usage: vessik-cli answer"))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerArguments,
    ::testing::Values(TBadArguments{"NoArguments", {}}, TBadArguments{"MissingGreeting", {"--record", "DIR"}},
                      TBadArguments{"MissingRecord", {"--greeting", "DIR/g.wav"}},
                      TBadArguments{"GreetingWithoutFile", {"--record", "DIR", "--greeting"}},
                      TBadArguments{"RingsNotANumber", {"--greeting", "g", "--record", "DIR", "--rings", "two"}},
                      TBadArguments{"RingsNegative", {"--greeting", "g", "--record", "DIR", "--rings", "-1"}},
                      TBadArguments{"MaxSecondsZero", {"--greeting", "g", "--record", "DIR", "--max-seconds", "0"}},
                      TBadArguments{"MaxSecondsTooLarge",
                                    {"--greeting", "g", "--record", "DIR", "--max-seconds", "86401"}},
                      TBadArguments{"UnknownOption", {"--greeting", "g", "--record", "DIR", "--count", "1"}}),
    [](const ::testing::TestParamInfo<TBadArguments>& param) { return std::string(param.param.name); });

} // namespace
