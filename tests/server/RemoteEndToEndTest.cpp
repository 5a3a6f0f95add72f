// The whole remote path: vessik-cli with the platform's CAPI library, whose
// configuration names a vessik-capid serving the simulated controller. What
// arrives must be what the simulated controller gives when loaded directly.

#include "../ProcessRun.h"
#include "RemoteServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

using namespace vtest;

const QString kSim = QStringLiteral(VESSIK_SIM_LIBRARY);

constexpr char kScenario[] = R"(# A call as the controller traced it.
R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
T 00 81 00 00 08 01 85 01 18 01 89
R 00 81 01 02
wait 20
T 00 81 02 00 08 01 85 07
R 02 81 00 04 08 01 05 0F
)";

// The trace line without its time stamp.
QStringList WithoutTimes(const QStringList& lines)
{
    QStringList out;
    for (const QString& line : lines)
        out << line.section(QStringLiteral(": "), 1);
    return out;
}

class RemoteEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        scenario = dir.filePath(QStringLiteral("call.txt"));
        QFile file(scenario);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kScenario);
    }
    QStringList ClientSettings(uint16_t port) { return PlatformLibrarySettings(QDir(dir.path()), port); }
    std::unique_ptr<QProcess> StartTrace(const QStringList& args, const QStringList& settings)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(Environment(settings));
        process->start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("trace")} + args);
        EXPECT_TRUE(process->waitForStarted(10000));
        process->closeWriteChannel();
        return process;
    }
    QTemporaryDir dir;
    QString scenario;
};

TEST_F(RemoteEndToEnd, TraceThroughThePlatformLibraryEqualsTheDirectRun)
{
    const QStringList scenarioSetting = {QStringLiteral("VESSIK_SIM_SCENARIO=") + scenario};
    auto direct = StartTrace({"--driver", kSim, "--count", "4"}, scenarioSetting);
    ASSERT_EQ(Finish(*direct), 0);
    const QStringList expected = WithoutTimes(Lines(direct->readAllStandardOutput()));
    ASSERT_EQ(expected.size(), 4);

    TServer server(scenarioSetting);
    ASSERT_NE(server.Port(), 0) << server.Log().toStdString();
    auto remote = StartTrace({"--count", "4"}, ClientSettings(server.Port()));
    ASSERT_EQ(Finish(*remote), 0) << remote->readAllStandardError().toStdString();
    EXPECT_EQ(WithoutTimes(Lines(remote->readAllStandardOutput())), expected);
    // The client's registration ends with it, and the server releases it.
    EXPECT_TRUE(server.Log(QStringLiteral("released")).contains(QLatin1String("released")));
}

TEST_F(RemoteEndToEnd, TwoApplicationsAtOnceEachGetTheirTrace)
{
    TServer server({QStringLiteral("VESSIK_SIM_SCENARIO=") + scenario});
    ASSERT_NE(server.Port(), 0);
    const QStringList settings = ClientSettings(server.Port());
    auto first = StartTrace({"--count", "4"}, settings);
    auto second = StartTrace({"--count", "4"}, settings);
    ASSERT_EQ(Finish(*first), 0);
    ASSERT_EQ(Finish(*second), 0);
    const QStringList one = WithoutTimes(Lines(first->readAllStandardOutput()));
    EXPECT_EQ(one.size(), 4);
    EXPECT_EQ(WithoutTimes(Lines(second->readAllStandardOutput())), one);
}

TEST_F(RemoteEndToEnd, ServerKilledMidTraceEndsTheClientWithAFailure)
{
    TServer server({}); // the looping demo
    ASSERT_NE(server.Port(), 0);
    auto trace = StartTrace({}, ClientSettings(server.Port()));
    ASSERT_TRUE(trace->waitForReadyRead(15000)) << "no trace line arrived";
    server.Kill();
    const int status = Finish(*trace, 20000);
    EXPECT_EQ(status, 1) << "the client must notice and close, not hang";
    EXPECT_FALSE(QString::fromUtf8(trace->readAllStandardError()).isEmpty());
}

TEST_F(RemoteEndToEnd, ClientKilledMidTraceIsReleasedByTheServer)
{
    TServer server({});
    ASSERT_NE(server.Port(), 0);
    auto trace = StartTrace({}, ClientSettings(server.Port()));
    ASSERT_TRUE(trace->waitForReadyRead(15000));
    ::kill(pid_t(trace->processId()), SIGKILL);
    trace->waitForFinished();
    const QString log = server.Log(QStringLiteral("released"));
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral("session \\d+ ended: .*application \\d+ released"))))
        << log.toStdString();
}

TEST_F(RemoteEndToEnd, MalformedConnectionEndsAloneWhileAnotherIsServed)
{
    TServer server({QStringLiteral("VESSIK_SIM_SCENARIO=") + scenario});
    ASSERT_NE(server.Port(), 0);
    QTcpSocket rogue;
    rogue.connectToHost(QStringLiteral("127.0.0.1"), server.Port());
    ASSERT_TRUE(rogue.waitForConnected(5000));
    rogue.write(QByteArray::fromHex("0003ffff")); // a length below any header
    rogue.flush();
    EXPECT_TRUE(server.Log(QStringLiteral("malformed framing")).contains(QLatin1String("malformed framing")));
    EXPECT_TRUE(rogue.waitForDisconnected(5000) || rogue.state() == QAbstractSocket::UnconnectedState);

    auto trace = StartTrace({"--count", "4"}, ClientSettings(server.Port()));
    EXPECT_EQ(Finish(*trace), 0);
    EXPECT_EQ(Lines(trace->readAllStandardOutput()).size(), 4);
}

// A call offered and cleared, then a traced SETUP; the component answers
// what it must and the put log records every message it sent. The script
// waits first: the platform library reads the answers to its own queries
// (the profile, right after registering) from the same connection as the
// messages, and a message that came first would be taken for the answer.
constexpr char kCallScript[] = R"(wait 1000
MSG 2A 00 00 00 02 82 01 00 01 01 00 00 01 00 05 81 30 33 30 31 06 01 80 30 31 32 33 00 00 00 00 00 00 00 00 00 00 00 00
wait 100
MSG 0E 00 00 00 04 82 02 00 01 01 00 00 90 34
wait 100
R 02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89
)";

// The put log of vessik-cli monitor against the scripted controller, ended
// as a user ends it once the script's last frame has given its last event:
// by then every message before it has been handled and answered.
QStringList MonitorPuts(const QString& putLog, const QStringList& args, const QStringList& settings)
{
    QProcess process;
    process.setProcessEnvironment(Environment(settings));
    process.start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("monitor")} + args);
    EXPECT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains("InfoStr=\"B1\"") && timer.elapsed() < 20000) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    EXPECT_TRUE(out.contains("InfoStr=\"B1\"")) << out.toStdString();
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(15000));
    QFile file(putLog);
    return file.open(QIODevice::ReadOnly) ? Lines(file.readAll()) : QStringList();
}

TEST_F(RemoteEndToEnd, ScriptedCallPutsTheSameMessagesAsTheDirectRun)
{
    const QString script = dir.filePath(QStringLiteral("script.txt"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kCallScript);
    file.close();
    auto scripted = [&](const QString& putLog) {
        return QStringList{QStringLiteral("VESSIK_SIM_SCENARIO=") + script, QStringLiteral("VESSIK_SIM_SCRIPTED=1"),
                           QStringLiteral("VESSIK_SIM_PUTLOG=") + putLog};
    };
    const QString directLog = dir.filePath(QStringLiteral("direct-puts.txt"));
    const QStringList direct = MonitorPuts(directLog, {"--driver", kSim}, scripted(directLog));
    ASSERT_GE(direct.size(), 2) << "at least the listen and the trace request";

    const QString remoteLog = dir.filePath(QStringLiteral("remote-puts.txt"));
    TServer server(scripted(remoteLog));
    ASSERT_NE(server.Port(), 0);
    const QStringList remote = MonitorPuts(remoteLog, {}, ClientSettings(server.Port()));
    EXPECT_EQ(remote, direct);
}

TEST(RemoteServerCommand, RefusesBadArgumentsAndAMissingDriver)
{
    QProcess process;
    process.start(QStringLiteral(VESSIK_CAPID), {"--listen", "nowhere"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    process.start(QStringLiteral(VESSIK_CAPID), {"--listen", "127.0.0.1:0", "--driver", "/nonexistent/libnone.so"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("cannot load"));
}

} // namespace
