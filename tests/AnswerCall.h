#pragma once
// An answering-machine call on the simulated controller for end-to-end tests:
// audio that G.711 A-law carries without loss, the controller's settings for
// one call that plays a known signal and records what it receives, and a
// vessik-cli answer run that is ended once it has printed its lines.

#include "ProcessRun.h"

#include "ALaw.h"
#include "AudioFile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vtest {

constexpr int kLineRate = 8000;

// Decoded line octets in a pseudo-random order: A-law encodes each back to
// the octet it came from, so they cross the B channel unchanged, and any
// stretch of a block's length is found at one place only.
inline std::vector<int16_t> LineExactSamples(size_t count, uint32_t seed)
{
    std::vector<int16_t> samples(count);
    for (int16_t& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        sample = valaw::Decode(uint8_t(seed >> 24));
    }
    return samples;
}

inline void WriteWav(const QString& path, const std::vector<int16_t>& samples)
{
    vaudio::TWavWriter writer;
    QString error;
    ASSERT_TRUE(writer.Open(path, kLineRate, error)) << error.toStdString();
    writer.Write(samples.data(), samples.size());
}

// A WAV file's samples; also checks that it is 16-bit PCM, 8 kHz, mono.
inline std::vector<int16_t> ReadRecording(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray head = file.read(36);
    EXPECT_TRUE(head.startsWith("RIFF") && head.mid(8, 8) == "WAVEfmt ") << path.toStdString();
    const auto word = [&head](int at) { return uint8_t(head[at]) | uint8_t(head[at + 1]) << 8; };
    EXPECT_EQ(word(20), 1);                       // PCM
    EXPECT_EQ(word(22), 1);                       // mono
    EXPECT_EQ(word(24) | word(26) << 16, kLineRate);
    EXPECT_EQ(word(34), 16);                      // bits per sample
    std::vector<int16_t> samples;
    QString error;
    EXPECT_TRUE(vaudio::ReadMono(path, kLineRate, samples, error)) << error.toStdString();
    return samples;
}

// The octets the controller received, decoded.
inline std::vector<int16_t> ReadLineRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray octets = file.readAll();
    std::vector<int16_t> samples(size_t(octets.size()));
    valaw::Decode(reinterpret_cast<const uint8_t*>(octets.constData()), samples.size(), samples.data());
    return samples;
}

// Where the recording starts in the looping signal the controller sends: the
// offset at which its first 160 samples stand, or -1.
inline long OffsetInSignal(const std::vector<int16_t>& signal, const std::vector<int16_t>& recording)
{
    constexpr size_t kProbe = 160;
    if (recording.size() < kProbe || signal.size() < kProbe)
        return -1;
    for (size_t at = 0; at < signal.size(); ++at) {
        size_t n = 0;
        while (n < kProbe && signal[(at + n) % signal.size()] == recording[n])
            ++n;
        if (n == kProbe)
            return long(at);
    }
    return -1;
}

// How many samples of the recording, from its start, equal the looping signal
// from the offset on.
inline size_t MatchingSamples(const std::vector<int16_t>& signal, const std::vector<int16_t>& recording, long offset)
{
    size_t n = 0;
    while (n < recording.size() && recording[n] == signal[(size_t(offset) + n) % signal.size()])
        ++n;
    return n;
}

// vessik-cli answer started with args and the settings, ended with SIGTERM
// once it has printed the given number of lines.
inline TRun AnswerUntilLines(const QStringList& args, const QStringList& settings, int lines, int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessEnvironment(Environment(settings));
    process.start(QStringLiteral(VESSIK_CLI), QStringList{QStringLiteral("answer")} + args);
    EXPECT_TRUE(process.waitForStarted(10000));
    process.closeWriteChannel();
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (Lines(out).size() < lines && timer.elapsed() < timeoutMs && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    EXPECT_GE(Lines(out).size(), lines) << "vessik-cli answer printed " << out.toStdString();
    process.terminate();
    TRun run;
    run.status = Finish(process, 15000);
    out += process.readAllStandardOutput();
    run.out = Lines(out);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace vtest
