#include "HexFrame.h"

#include <QString>

#include <gtest/gtest.h>

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

} // namespace
