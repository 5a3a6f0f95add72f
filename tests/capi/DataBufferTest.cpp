#include "DataBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(DataBufferFIFO, PutAndGetInOrder)
{
    TDataBufferFIFO fifo(16);
    const uint8_t data[] = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(fifo.PutData(data, 6, true));
    EXPECT_EQ(fifo.Count(), 6u);
    const uint8_t* got = fifo.GetData(4, true);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::memcmp(got, data, 4), 0);
    EXPECT_EQ(fifo.GetData(3, false), nullptr); // only 2 left
    EXPECT_EQ(fifo.Count(), 2u);
}

TEST(DataBufferFIFO, CompactsOnlyWhenEnoughWasConsumed)
{
    TDataBufferFIFO fifo(10);
    std::vector<uint8_t> data(8);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    ASSERT_TRUE(fifo.PutData(data.data(), 8, false));
    ASSERT_NE(fifo.GetData(2, false), nullptr);
    // 4 more do not fit behind and only 2 were consumed: refused though 4 are free.
    EXPECT_FALSE(fifo.PutData(data.data(), 4, false));
    ASSERT_NE(fifo.GetData(2, false), nullptr);
    EXPECT_TRUE(fifo.PutData(data.data(), 4, false));
    EXPECT_EQ(fifo.Count(), 8u);
    const uint8_t* got = fifo.GetData(8, false);
    ASSERT_NE(got, nullptr);
    const uint8_t expected[] = {4, 5, 6, 7, 0, 1, 2, 3};
    EXPECT_EQ(std::memcmp(got, expected, 8), 0);
}

TEST(DataBufferFIFO, OversizedAndClear)
{
    TDataBufferFIFO fifo(4);
    const uint8_t data[8] = {};
    EXPECT_FALSE(fifo.PutData(data, 5, true));
    EXPECT_EQ(fifo.GetData(5, true), nullptr);
    EXPECT_TRUE(fifo.PutData(data, 4, true));
    fifo.Clear();
    EXPECT_EQ(fifo.Count(), 0u);
    EXPECT_TRUE(fifo.PutData(data, 4, true));
}

TEST(DataBufferFIFO, NoBytesFromNowhereIsAnEmptyPut)
{
    TDataBufferFIFO fifo(4);
    EXPECT_TRUE(fifo.PutData(nullptr, 0, true)); // UBSan: no memcpy from null
    EXPECT_FALSE(fifo.PutData(nullptr, 1, true));
    EXPECT_EQ(fifo.Count(), 0u);
}

} // namespace
