#include "TextCodec.h"

#include <gtest/gtest.h>

namespace {
QByteArray Raw(std::initializer_list<int> list)
{
    QByteArray b;
    for (int x : list)
        b.append(char(x));
    return b;
}
bool Strict(const QByteArray& b)
{
    return IsUtf8(reinterpret_cast<const uint8_t*>(b.constData()), uint32_t(b.size()));
}
} // namespace

TEST(TextCodec, SequenceLengthByLeadByte)
{
    EXPECT_EQ(Utf8SequenceLength(0x41), 1);
    EXPECT_EQ(Utf8SequenceLength(0xC3), 2);
    EXPECT_EQ(Utf8SequenceLength(0xE2), 3);
    EXPECT_EQ(Utf8SequenceLength(0xF0), 4);
    EXPECT_EQ(Utf8SequenceLength(0x80), -1);
    EXPECT_EQ(Utf8SequenceLength(0xBF), -1);
    EXPECT_EQ(Utf8SequenceLength(0xF8), -1);
    EXPECT_EQ(Utf8SequenceLength(0xFF), -1);
}

TEST(TextCodec, StrictCheck)
{
    EXPECT_TRUE(Strict(Raw({0xC3, 0xA9})));
    EXPECT_FALSE(Strict(Raw({0xC3})));
    EXPECT_TRUE(Strict("abc"));
    EXPECT_TRUE(Strict(QByteArray()));
    EXPECT_FALSE(Strict(Raw({0x80, 0x80})));
    EXPECT_FALSE(Strict(Raw({0xE2, 0x82}))); // runs past the end
    EXPECT_TRUE(Strict(Raw({0xC0, 0x80})));  // overlong forms pass
    EXPECT_TRUE(Strict(Raw({0xED, 0xA0, 0x80}))); // so do encoded surrogates
}

TEST(TextCodec, LaxCheckForFrameContents)
{
    EXPECT_FALSE(ContainsUtf8(QByteArray("abc")));
    EXPECT_TRUE(ContainsUtf8(Raw({0x63, 0x61, 0x66, 0xC3, 0xA9})));
    EXPECT_TRUE(ContainsUtf8(Raw({0x80, 0x80})));
    EXPECT_FALSE(ContainsUtf8(Raw({0xC3, 0x41})));
    EXPECT_FALSE(ContainsUtf8(QByteArray()));
    EXPECT_FALSE(ContainsUtf8(Raw({0xC3}))); // byte beyond the end counts as 0
    EXPECT_FALSE(ContainsUtf8(Raw({0xE2, 0x82})));
    EXPECT_FALSE(ContainsUtf8(Raw({0xF8, 0x80, 0x80, 0x80})));
    EXPECT_FALSE(ContainsUtf8(Raw({0x00, 0xC3, 0xA9}))); // stops at a 0 byte
    EXPECT_TRUE(ContainsUtf8(Raw({0xF0, 0x9F, 0x98, 0x80})));
}

TEST(TextCodec, DecodeTextChoosesTheEncoding)
{
    EXPECT_EQ(DecodeText(QByteArray("0301234")), QStringLiteral("0301234"));
    EXPECT_EQ(DecodeText(Raw({'M', 0xC3, 0xBC})), QString::fromUtf8("M\xC3\xBC"));
    EXPECT_EQ(DecodeText(Raw({'M', 0xFC})), QString::fromUtf8("M\xC3\xBC"));
    EXPECT_EQ(DecodeText(Raw({0x80, 0x9F, 0x81})),
              QString(QChar(0x20AC)) + QChar(0x0178) + QChar(0x0081));
    EXPECT_TRUE(DecodeText(QByteArray()).isEmpty());
}
