// The recorder between OnData and the recording files: decoding, the limit of
// a call's recording, calls kept apart, and nothing kept outside a recording.

#include "ALaw.h"
#include "CallRecorder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

TEST(CallRecorder, KeepsEachCallsDecodedOctetsUpToItsLimit)
{
    TCallRecorder recorder;
    std::vector<uint8_t> octets(240);
    std::iota(octets.begin(), octets.end(), uint8_t(0));
    recorder.Add(0x00010101, octets.data(), octets.size()); // not recording yet: dropped
    recorder.Start(0x0101, 300);
    recorder.Start(0x0201, 1000);
    recorder.Add(0x00010101, octets.data(), octets.size()); // the NCCI selects the PLCI's call
    recorder.Add(0x00010101, octets.data(), octets.size());
    recorder.Add(0x00010201, octets.data(), 10);
    EXPECT_TRUE(recorder.Full(0x0101));
    EXPECT_FALSE(recorder.Full(0x0201));

    std::vector<int16_t> samples = {1, 2, 3};
    recorder.Take(0x0101, samples);
    ASSERT_EQ(samples.size(), 300u);
    EXPECT_EQ(samples[0], valaw::Decode(0));
    EXPECT_EQ(samples[239], valaw::Decode(239));
    EXPECT_EQ(samples[299], valaw::Decode(59));
    recorder.Take(0x0101, samples);
    EXPECT_TRUE(samples.empty()) << "taken once";
    recorder.Take(0x0201, samples);
    EXPECT_EQ(samples.size(), 10u);

    // After the stop nothing more is kept, but what came before stays for the last take.
    recorder.Add(0x00010201, octets.data(), 5);
    recorder.Stop(0x0201);
    recorder.Add(0x00010201, octets.data(), 5);
    recorder.Take(0x0201, samples);
    EXPECT_EQ(samples.size(), 5u);
    EXPECT_FALSE(recorder.Full(0x0201));
}

} // namespace
