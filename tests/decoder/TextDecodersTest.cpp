#include "ChannelDecoder.h"
#include "ElementTestSupport.h"
#include "NotificationDecoder.h"
#include "TextDecoders.h"

#include <gtest/gtest.h>

namespace {

TEST(Display, TextInBothEncodings)
{
    TDecoded d = DecodeHex(DecodeDisplay, "48 61 6C 6C 6F");
    EXPECT_EQ(d.lines, QStringList({"48 61 6C 6C 6F ", "Hallo"}));
    EXPECT_EQ(d.text, "Hallo");
    EXPECT_EQ(d.textNoTree, "Hallo");
    EXPECT_EQ(DecodeHex(DecodeDisplay, "4D C3 BC").text, QString::fromUtf8("M\xC3\xBC"));
    EXPECT_EQ(DecodeHex(DecodeDisplay, "4D FC").text, QString::fromUtf8("M\xC3\xBC")); // Windows-1252
    d = DecodeHex(DecodeDisplay, "");
    EXPECT_EQ(d.lines, QStringList({""}));
    EXPECT_TRUE(d.text.isEmpty());
}

TEST(Keypad, LineButNoText)
{
    const TDecoded d = DecodeHex(DecodeKeypad, "31 32 2A");
    EXPECT_EQ(d.lines, QStringList({"31 32 2A ", "12*"}));
    EXPECT_TRUE(d.text.isEmpty());
    EXPECT_EQ(DecodeHex(DecodeKeypad, "").lines, QStringList({""}));
}

TEST(DateTime, AsFarAsTheOctetsGo)
{
    struct {
        const char* contents;
        const char* text;
    } const cases[] = {
        {"0D 05 07 09 03 3B", "07.05.13 09:03,59"},
        {"0D 05 07 09 03 3B 11 22", "07.05.13 09:03,59"},
        {"0D 05 07 09 03", "07.05.13 09:03"},
        {"0D 05 07 09", "07.05.13 09"},
        {"0D 05 07", "07.05.13"},
        {"FF 0C 1F", "31.12.255"},
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeDateTime, c.contents);
        EXPECT_EQ(d.text, c.text) << c.contents;
        EXPECT_EQ(d.textNoTree, c.text) << c.contents;
        ASSERT_EQ(d.lines.size(), 2) << c.contents;
        EXPECT_EQ(d.lines[1], c.text);
    }
    for (const char* shortOne : {"0D 05", "0D", ""}) {
        const TDecoded d = DecodeHex(DecodeDateTime, shortOne);
        EXPECT_EQ(d.lines.size(), 1) << shortOne;
        EXPECT_TRUE(d.text.isEmpty());
    }
}

TEST(UserUser, OnlyIa5Information)
{
    struct {
        const char* contents;
        const char* text;
    } const cases[] = {{"04 68 69", "hi"}, {"08 68 69", ""}, {"04", ""}, {"", ""}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> o = Octets(c.contents);
        EXPECT_EQ(DecodeUserUser(o.data(), uint32_t(o.size())), c.text) << c.contents;
    }
}

TEST(NotificationIndicator, Descriptions)
{
    struct {
        const char* contents;
        const char* text;
    } const cases[] = {
        {"E9", "reserved for call transfer"}, {"EA", "reserved for call transfer"},
        {"85", "unknown"},                    {"F9", "remote hold"},
        {"FA", "remote retrieval"},           {"80", "user suspended"},
        {"83 A1 02", "discriminator for extension to ASN.1 encoded component"},
        {"CF", "conference floating, served user preempted"},
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeNotificationIndicator, c.contents);
        EXPECT_EQ(d.text, c.text) << c.contents;
        EXPECT_EQ(d.textNoTree, c.text) << c.contents;
        EXPECT_EQ(d.lines.mid(1), QStringList({c.text})) << c.contents;
    }
    EXPECT_EQ(DecodeHex(DecodeNotificationIndicator, "").lines, QStringList({""}));
}

TEST(ChannelIdentification, Cases)
{
    const TDecoded b1 = DecodeHex(DecodeChannelIdentification, "89");
    EXPECT_EQ(b1.lines, QStringList({"89 ", "interface identifier present: interface implicitly identified",
                                     "interface type: basic interface",
                                     "exclusive; only the indicated channel is acceptable",
                                     "the channel identified is not the D-channel",
                                     "information channel selection: B1 channel"}));
    EXPECT_EQ(b1.text, "B1");

    const TDecoded e9 = DecodeHex(DecodeChannelIdentification, "E9 83 81");
    EXPECT_EQ(e9.lines, QStringList({"E9 83 81 ", "interface identifier present: interface explicitly identified",
                                     "interface type: other interface e.g. primary rate",
                                     "exclusive; only the indicated channel is acceptable",
                                     "the channel identified is not the D-channel",
                                     "information channel selection: as indicated in following octets"}));
    EXPECT_EQ(e9.text, "?");
    EXPECT_EQ(e9.textNoTree, "?");

    struct {
        const char* contents;
        const char* selection;
        const char* text;
    } const cases[] = {
        {"C2", "information channel selection: B2 channel", "B2"},
        {"80", "information channel selection: no channel", "no"},
        {"83", "information channel selection: any channel", "any"},
        {"A1", "information channel selection: B1 channel", "B1"}, // interface type does not decide
        {"C1", "information channel selection: as indicated in following octets", ""},
        {"C3 01", "information channel selection: any channel", "?"},
        {"84", "information channel selection: no channel", "no"},
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeChannelIdentification, c.contents);
        EXPECT_EQ(d.lines.last(), c.selection) << c.contents;
        EXPECT_EQ(d.text, c.text) << c.contents;
        EXPECT_EQ(d.textNoTree, c.text) << c.contents;
    }
    EXPECT_TRUE(DecodeHex(DecodeChannelIdentification, "84").lines.contains("the channel identified is the D-channel"));
    EXPECT_TRUE(DecodeHex(DecodeChannelIdentification, "81").lines.contains("indicated channel is preferred"));
    EXPECT_EQ(DecodeHex(DecodeChannelIdentification, "").lines, QStringList({""}));
}

} // namespace
