#include "HexFrame.h"

#include <QString>

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(ParseHexFrame, AcceptsPairsWithOrWithoutBlanks)
{
    const QByteArray expected("\x08\x01\xA5", 3);
    for (const char* text : {"08 01 A5", "0801a5", "  08\t01 a5  ", "08 01A5"})
        EXPECT_EQ(ParseHexFrame(QString::fromLatin1(text)), expected) << text;
}

TEST(ParseHexFrame, RejectsAnythingButWholePairs)
{
    for (const char* text : {"", "   ", "0", "08 1", "0 8", "08 0G", "0x08", "08,01", "08-01"})
        EXPECT_FALSE(ParseHexFrame(QString::fromLatin1(text)).has_value()) << text;
    EXPECT_FALSE(ParseHexFrame(QString::fromUtf8("08 \xD9\xA1\xD9\xA2")).has_value()); // non-ASCII digits
}

// The bytes parser reads standard input; it must agree with the one for
// arguments on every text, including texts its fast path for "XX " stops in.
TEST(ParseHexFrame, BytesAgreeWithText)
{
    std::mt19937 random(18);
    const std::string alphabet = "0123456789abcdefABCDEFgG \t\x80";
    std::vector<uint8_t> buffer;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = int(random() % 12); n > 0; --n) {
            if (random() % 2)
                text += "5A ";
            else
                text += alphabet[random() % alphabet.size()];
        }
        const auto expected = ParseHexFrame(QString::fromLatin1(text.data(), qsizetype(text.size())));
        const size_t count = ParseHexFrame(std::string_view(text), buffer);
        ASSERT_EQ(count > 0, expected.has_value()) << text;
        if (expected) {
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer.data()), qsizetype(count)), *expected) << text;
        }
    }
}

} // namespace
