#include "AudioFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class AudioFile : public ::testing::Test {
protected:
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dir;
};

TEST_F(AudioFile, WavAt8000HzReadsBackSampleForSample)
{
    std::vector<int16_t> samples;
    for (int i = 0; i < 8000; ++i)
        samples.push_back(int16_t(20000 * std::sin(i * 0.05) + (i % 3) - 1));
    samples.push_back(-32768);
    samples.push_back(32767);
    QString error;
    {
        vaudio::TWavWriter writer;
        ASSERT_TRUE(writer.Open(Path("a.wav"), 8000, error)) << error.toStdString();
        writer.Write(samples.data(), 100);
        writer.Write(samples.data() + 100, samples.size() - 100);
        EXPECT_EQ(writer.Frames(), samples.size());
    }
    std::vector<int16_t> read;
    ASSERT_TRUE(vaudio::ReadMono(Path("a.wav"), 8000, read, error)) << error.toStdString();
    EXPECT_EQ(read, samples);
}

TEST_F(AudioFile, OtherRatesAreResampled)
{
    std::vector<int16_t> samples(16000, 1000);
    QString error;
    {
        vaudio::TWavWriter writer;
        ASSERT_TRUE(writer.Open(Path("b.wav"), 16000, error));
        writer.Write(samples.data(), samples.size());
    }
    std::vector<int16_t> read;
    ASSERT_TRUE(vaudio::ReadMono(Path("b.wav"), 8000, read, error));
    EXPECT_NEAR(double(read.size()), 8000.0, 2.0);
    EXPECT_NEAR(read[4000], 1000, 5); // a constant stays constant
}

TEST_F(AudioFile, MissingOrForeignFilesGiveAReason)
{
    std::vector<int16_t> read;
    QString error;
    EXPECT_FALSE(vaudio::ReadMono(Path("none.wav"), 8000, read, error));
    EXPECT_FALSE(error.isEmpty());
    QFile text(Path("text.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio at all");
    text.close();
    error.clear();
    EXPECT_FALSE(vaudio::ReadMono(Path("text.wav"), 8000, read, error));
    EXPECT_FALSE(error.isEmpty());
    vaudio::TWavWriter writer;
    EXPECT_FALSE(writer.Open(Path("no/such/dir/x.wav"), 8000, error));
    writer.Write(read.data(), 0); // harmless when not open
}

} // namespace
