#include "AudioFormat.h"

#include <gtest/gtest.h>

#include <thread>

TEST(AudioFormat, StartsAsNarrowbandALawWithTheGivenBlockSize)
{
    const TAudioFormat format(240);
    EXPECT_FALSE(format.LinearPCMData());
    EXPECT_EQ(format.SampleRate(), 8000);
    EXPECT_EQ(format.PcmBlockSize(), 240u);
}

TEST(AudioFormat, AnnouncedRateSetsTheBlockSizeInMultiplesOf32)
{
    TAudioFormat format(240);
    format.Announce(true, 16000, 240);
    EXPECT_TRUE(format.LinearPCMData());
    EXPECT_EQ(format.SampleRate(), 16000);
    EXPECT_EQ(format.PcmBlockSize(), 480u);
    format.Announce(false, 8000, 240);
    EXPECT_EQ(format.PcmBlockSize(), 224u); // 240 rounded down
    format.Announce(true, 44100, 240);
    EXPECT_EQ(format.PcmBlockSize(), 1312u); // 1323 rounded down
}

TEST(AudioFormat, RateBelow8000CountsAs8000)
{
    TAudioFormat format(240);
    format.Announce(true, 0, 240);
    EXPECT_EQ(format.SampleRate(), 8000);
    EXPECT_EQ(format.PcmBlockSize(), 224u);
}

TEST(AudioFormat, ResetKeepsTheBlockSize)
{
    TAudioFormat format(240);
    format.Announce(true, 16000, 240);
    format.SetPcmBlockSize(300);
    format.Reset();
    EXPECT_FALSE(format.LinearPCMData());
    EXPECT_EQ(format.SampleRate(), 8000);
    EXPECT_EQ(format.PcmBlockSize(), 300u);
}

// Run under ThreadSanitizer: a reader on another thread while the format changes.
TEST(AudioFormat, ReadWhileAnnouncedFromAnotherThread)
{
    TAudioFormat format(240);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        uint64_t sum = 0;
        do
            sum += format.PcmBlockSize() + format.SampleRate() + format.LinearPCMData();
        while (!done.load());
        EXPECT_GT(sum, 0u);
    });
    for (int i = 0; i < 2000; ++i)
        format.Announce(i % 2 == 0, uint16_t(8000 + 8000 * (i % 2)), 240);
    done.store(true);
    reader.join();
    EXPECT_EQ(format.SampleRate(), 16000);
}
