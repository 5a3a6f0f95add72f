// The answering machine through the platform's CAPI library: vessik-cli
// answer with its default driver and a .capi20rc naming a vessik-capid that
// serves the simulated controller records the same call as it does on the
// simulated controller loaded directly, and the controller receives the same
// greeting.

#include "../AnswerCall.h"
#include "../ProcessRun.h"
#include "RemoteServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace vtest;

struct TAnswered {
    QStringList fields;                 // of its line
    std::vector<int16_t> recording;     // what vessik-cli answer wrote
    std::vector<int16_t> greetingHeard; // what the controller received
};

class AnswerRemote : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        signal = LineExactSamples(2 * kLineRate, 3);
        greeting = LineExactSamples(kLineRate, 4);
        WriteWav(dir.filePath(QStringLiteral("caller.wav")), signal);
        WriteWav(dir.filePath(QStringLiteral("greeting.wav")), greeting);
    }
    // The simulated controller's settings for one call of 3 s.
    QStringList ControllerSettings(const QString& name) const
    {
        return {QStringLiteral("VESSIK_SIM_AUDIO=") + dir.filePath(QStringLiteral("caller.wav")),
                QStringLiteral("VESSIK_SIM_RECORD=") + dir.filePath(name + QStringLiteral(".raw")),
                QStringLiteral("VESSIK_SIM_CALL_INTERVAL_MS=60000"), QStringLiteral("VESSIK_SIM_TALK_MS=3000")};
    }
    TAnswered Answer(const QString& name, const QStringList& driver, const QStringList& settings) const
    {
        const QString out = dir.filePath(name);
        const TRun run = AnswerUntilLines(
            QStringList{"--greeting", dir.filePath(QStringLiteral("greeting.wav")), "--record", out} + driver,
            settings, 1);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        TAnswered answered;
        if (run.out.size() != 1) {
            ADD_FAILURE() << run.out.join(u'\n').toStdString();
            return answered;
        }
        answered.fields = run.out[0].split(u'\t');
        answered.recording = ReadRecording(QDir(out).filePath(answered.fields.value(4)));
        answered.greetingHeard = ReadLineRecord(dir.filePath(name + QStringLiteral(".raw")));
        return answered;
    }

    QTemporaryDir dir;
    std::vector<int16_t> signal;
    std::vector<int16_t> greeting;
};

TEST_F(AnswerRemote, RecordingThroughThePlatformLibraryEqualsTheDirectRun)
{
    const TAnswered direct = Answer(QStringLiteral("direct"), {"--driver", QStringLiteral(VESSIK_SIM_LIBRARY)},
                                    ControllerSettings(QStringLiteral("direct")));
    ASSERT_GE(direct.recording.size(), size_t(kLineRate / 2));

    TServer server(ControllerSettings(QStringLiteral("remote")));
    ASSERT_NE(server.Port(), 0) << server.Log().toStdString();
    const TAnswered remote =
        Answer(QStringLiteral("remote"), {}, PlatformLibrarySettings(QDir(dir.path()), server.Port()));
    if (HasFailure())
        ADD_FAILURE() << "server log:\n" << server.Log().toStdString();
    ASSERT_GE(remote.recording.size(), size_t(kLineRate / 2));

    // The same caller and numbers; the times of day differ.
    EXPECT_EQ(remote.fields.mid(1, 2), direct.fields.mid(1, 2));
    // Both recordings hold the controller's signal from its first block on,
    // so they are equal sample for sample as far as both go; the line's
    // timing decides where each ends.
    EXPECT_EQ(MatchingSamples(signal, direct.recording, 0), direct.recording.size());
    EXPECT_EQ(MatchingSamples(signal, remote.recording, 0), remote.recording.size());
    const size_t common = std::min(direct.recording.size(), remote.recording.size());
    EXPECT_TRUE(
        std::equal(remote.recording.begin(), remote.recording.begin() + long(common), direct.recording.begin()));
    // The controller heard the greeting from its start both ways.
    for (const TAnswered* answered : {&direct, &remote}) {
        EXPECT_GE(answered->greetingHeard.size(), size_t(kLineRate / 2));
        ASSERT_LE(answered->greetingHeard.size(), greeting.size());
        EXPECT_TRUE(std::equal(answered->greetingHeard.begin(), answered->greetingHeard.end(), greeting.begin()));
    }
}

} // namespace
