#include "ElementTestSupport.h"
#include "NumberDecoders.h"
#include "Prefixes.h"

#include <gtest/gtest.h>

namespace {

struct TNumberCase {
    const char* contents;
    QStringList lines; // after the hex line
    QString text;
};

void ExpectCase(QString (*decoder)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t), const TNumberCase& c)
{
    const TDecoded d = DecodeHex(decoder, c.contents);
    ASSERT_FALSE(d.lines.isEmpty()) << c.contents;
    EXPECT_EQ(d.lines.mid(1), c.lines) << c.contents;
    EXPECT_EQ(d.text, c.text) << c.contents;
    EXPECT_EQ(d.textNoTree, c.text) << c.contents;
}

TEST(CallingPartyNumber, Cases)
{
    const TNumberCase cases[] = {
        {"21 83 30 33 30 31 32 33 34",
         {"national number", "ISDN/telephony numbering plan", "presentation allowed", "screening: Network provided",
          "0301234"},
         "00301234"},
        {"81 35 35 35", {"unknown type of number", "ISDN/telephony numbering plan", "555"}, "555"},
        {"11", {"international number", "ISDN/telephony numbering plan", ""}, "00"},
        {"01 A0", {"unknown type of number", "ISDN/telephony numbering plan", "presentation restricted",
                   "screening: User-provided, not screened", ""}, ""},
        {"E9 31", {"abbreviated number", "private numbering plan", "1"}, "1"},
        {"D2 31", {"1"}, "1"}, // type 5 and plan 2 add no lines
        {"", {}, ""},
    };
    for (const TNumberCase& c : cases) {
        ExpectCase(DecodeCallingPartyNumber, c);
        ExpectCase(DecodeConnectedNumber, c);
    }
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "").lines, QStringList({""}));
}

TEST(CallingPartyNumber, Utf8AndCodePageDigits)
{
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "81 C3 A4").text, QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "81 80").text, QString(QChar(0x20AC)));
}

TEST(CalledPartyNumber, NeverPrefixed)
{
    ExpectCase(DecodeCalledPartyNumber, {"A1 31 32", {"national number", "ISDN/telephony numbering plan", "12"}, "12"});
    ExpectCase(DecodeCalledPartyNumber, {"91 31", {"international number", "ISDN/telephony numbering plan", "1"}, "1"});
    ExpectCase(DecodeCalledPartyNumber, {"80", {"unknown type of number", "unknown numbering plan", ""}, ""});
    // Called numbers have no octet 3a: the second octet is a digit.
    ExpectCase(DecodeCalledPartyNumber, {"21 31", {"national number", "ISDN/telephony numbering plan", "1"}, "1"});
}

TEST(RedirectingNumber, Cases)
{
    const TNumberCase cases[] = {
        {"21 00 80 31 32",
         {"national number", "ISDN/telephony numbering plan", "presentation allowed", "reason: unknown", "12"},
         "012"},
        {"91 80 31 32", {"international number", "ISDN/telephony numbering plan", "presentation allowed", "12"},
         "0012"},
        {"01 20 8F 31", {"unknown type of number", "ISDN/telephony numbering plan", "presentation restricted",
                         "reason: CFU", "1"}, "1"},
        {"01 00 81", {"unknown type of number", "ISDN/telephony numbering plan", "presentation allowed",
                      "reason: CFB", ""}, ""},
        {"01 00 82", {"unknown type of number", "ISDN/telephony numbering plan", "presentation allowed",
                      "reason: CFNR", ""}, ""},
        {"01 00 8A", {"unknown type of number", "ISDN/telephony numbering plan", "presentation allowed",
                      "reason: CD", ""}, ""},
        {"01 00 85", {"unknown type of number", "ISDN/telephony numbering plan", "presentation allowed",
                      "reason: reserved", ""}, ""},
        {"01 00", {"unknown type of number", "ISDN/telephony numbering plan", "presentation allowed", ""}, ""},
        {"21", {"national number", "ISDN/telephony numbering plan", ""}, "0"},
        {"01 E0 31", {"unknown type of number", "ISDN/telephony numbering plan", "1"}, "1"}, // presentation 3
    };
    for (const TNumberCase& c : cases)
        ExpectCase(DecodeRedirectingNumber, c);
}

TEST(Prefixes, AreReadAtEachCall)
{
    SetNationalPrefix(QString());
    SetInternationalPrefix("+");
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "21 83 30 33 30 31 32 33 34").text, "0301234");
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "91 34 39").text, "+49");
    SetNationalPrefix("0");
    SetInternationalPrefix("00");
    EXPECT_EQ(DecodeHex(DecodeCallingPartyNumber, "91 34 39").text, "0049");
}

TEST(FacilityPartyNumber, TextOnly)
{
    struct {
        const char* contents;
        const char* text;
    } const cases[] = {
        {"01 21 00 31 32", "012"}, {"00 21 00 31 32", "12"}, {"01 21 00", "0"},
        {"01 21", ""},             {"01 11 00 34 39", "0049"}, {"01 41 00 31", "1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> o = Octets(c.contents);
        EXPECT_EQ(DecodeFacilityPartyNumber(o.data(), uint32_t(o.size())), c.text) << c.contents;
    }
}

TEST(Subaddress, Cases)
{
    ExpectCase(DecodeSubaddress, {"A8 31 32 33", {"User specified", "odd number of address signals", "123"}, "123"});
    ExpectCase(DecodeSubaddress, {"80 50 31 32", {"NSAP", "even number of address signals", "P12"}, "P12"});
    ExpectCase(DecodeSubaddress, {"90", {"even number of address signals", ""}, ""});
}

} // namespace
