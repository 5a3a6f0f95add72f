#include "CapiMessageReader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A message with the given parameter bytes; Length covers exactly them.
std::vector<uint8_t> Message(std::initializer_list<int> params, uint16_t number = 0x1234)
{
    std::vector<uint8_t> m = {0, 0, 1, 0, 0x02, 0x82, uint8_t(number), uint8_t(number >> 8)};
    for (int b : params)
        m.push_back(uint8_t(b));
    m[0] = uint8_t(m.size());
    m[1] = uint8_t(m.size() >> 8);
    return m;
}

} // namespace

TEST(CapiMessageReader, UnboundReaderYieldsNothing)
{
    TCapiMessageReader r;
    EXPECT_EQ(r.ReadByte(), 0);
    EXPECT_EQ(r.ReadDword(), 0u);
    EXPECT_TRUE(r.ReadText(3).isEmpty());
    EXPECT_EQ(r.CurrentData(), nullptr);
    EXPECT_EQ(r.Remaining(), 0u);
    r.Skip(1);
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(r.MessageLength(), 0);
}

TEST(CapiMessageReader, ReadsPastTheEndGiveZeroAndKeepThePosition)
{
    const auto m = Message({0x34, 0x12}); // Length 10
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_EQ(r.MessageNumber(), 0x1234);
    EXPECT_EQ(r.ReadDword(), 0u);
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(r.ReadWord(), 0x1234);
    EXPECT_EQ(r.ReadByte(), 0);
    EXPECT_EQ(r.Position(), 2u);
    EXPECT_EQ(r.Remaining(), 0u);
    ASSERT_NE(r.CurrentData(), nullptr); // at the very end: zero bytes remain
}

TEST(CapiMessageReader, DwordIsLittleEndian)
{
    const auto m = Message({0x78, 0x56, 0x34, 0x12});
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_EQ(r.ReadDword(), 0x12345678u);
}

TEST(CapiMessageReader, QwordIsLittleEndianAndNeedsAllEightBytes)
{
    const auto m = Message({0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01, 0xAA});
    TCapiMessageReader r;
    r.Bind(m.data());
    r.Skip(2);
    EXPECT_EQ(r.ReadQword(), 0u); // only 7 bytes left
    EXPECT_EQ(r.Position(), 2u);
    r.Bind(m.data());
    EXPECT_EQ(r.ReadQword(), 0x0123456789ABCDEFull);
    EXPECT_EQ(r.Position(), 8u);
}

TEST(CapiMessageReader, SkipPastTheEndParksTheCursor)
{
    const auto m = Message({1, 2, 3});
    TCapiMessageReader r;
    r.Bind(m.data());
    r.Skip(5);
    EXPECT_EQ(r.Position(), uint32_t(m.size()) + 1);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.CurrentData(), nullptr);
    EXPECT_EQ(r.ReadByte(), 0);
    r.Skip(0); // parked stays parked
    EXPECT_EQ(r.CurrentData(), nullptr);
}

TEST(CapiMessageReader, SkipExactlyToTheEnd)
{
    const auto m = Message({1, 2, 3});
    TCapiMessageReader r;
    r.Bind(m.data());
    r.Skip(3);
    EXPECT_EQ(r.Position(), 3u);
    EXPECT_NE(r.CurrentData(), nullptr);
}

TEST(CapiMessageReader, SkipStructAtStepsOverAStruct)
{
    const auto m = Message({0x02, 0xAA, 0xBB, 0x07});
    TCapiMessageReader r;
    r.Bind(m.data());
    r.SkipStructAt(r.Position());
    EXPECT_EQ(r.ReadByte(), 0x07);
    r.SkipStructAt(10); // outside: nothing changes
    EXPECT_EQ(r.Position(), 4u);
}

TEST(CapiMessageReader, SkipStructAtMayLeaveTheMessage)
{
    const auto m = Message({0x09, 0xAA}); // struct claims more than is there
    TCapiMessageReader r;
    r.Bind(m.data());
    r.SkipStructAt(0);
    EXPECT_EQ(r.Position(), 10u);
    EXPECT_EQ(r.ReadByte(), 0);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.CurrentData(), nullptr);
}

TEST(CapiMessageReader, ReadTextTakesWhatRemains)
{
    const auto m = Message({'a', 0xC3, 0xA9, 'z'});
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_EQ(r.ReadText(10), QString::fromUtf8("a\xC3\xA9z"));
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_TRUE(r.ReadText(1).isEmpty());
}

TEST(CapiMessageReader, ReadTextOfNothingKeepsThePosition)
{
    const auto m = Message({'a', 'b', 'c'});
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_TRUE(r.ReadText(0).isEmpty());
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(r.ReadText(2), "ab");
    EXPECT_EQ(r.Position(), 2u);
    r.Skip(9); // parked beyond the end
    EXPECT_TRUE(r.ReadText(1).isEmpty());
    EXPECT_EQ(r.Position(), uint32_t(m.size()) + 1);
}

TEST(CapiMessageReader, ReadTextFallsBackToWindows1252)
{
    const auto m = Message({0x80, 'x', 0xE9});
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_EQ(r.ReadText(3), QString(QChar(0x20AC)) + "x" + QChar(0xE9));
}

TEST(CapiMessageReader, ShortLengthFieldKeepsEveryReadOutside)
{
    std::vector<uint8_t> m = {4, 0, 1, 0, 0x02, 0x82, 0, 0, 0xAA}; // Length 4 < header
    TCapiMessageReader r;
    r.Bind(m.data());
    EXPECT_EQ(r.ReadByte(), 0);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.CurrentData(), nullptr);
    r.SkipStructAt(0);
    EXPECT_EQ(r.Position(), 0u);
}
