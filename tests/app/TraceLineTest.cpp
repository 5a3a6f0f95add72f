#include "../TestNames.h"
#include "TraceLine.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char16_t* line;
    bool row;
    const char16_t* time;
    const char16_t* direction;
    const char16_t* message;
    const char16_t* data;
};

class SplitTraceLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTraceLineTest, GivesTheFourColumns)
{
    const SplitCase& c = GetParam();
    const auto columns = SplitTraceLine(QStringView(c.line));
    ASSERT_EQ(columns.has_value(), c.row);
    if (!c.row)
        return;
    EXPECT_EQ((*columns)[0], QString::fromUtf16(c.time));
    EXPECT_EQ((*columns)[1], QString::fromUtf16(c.direction));
    EXPECT_EQ((*columns)[2], QString::fromUtf16(c.message));
    EXPECT_EQ((*columns)[3], QString::fromUtf16(c.data));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitTraceLineTest,
    ::testing::Values(
        // A full line; the colons of the time stamp are not followed by a blank.
        SplitCase{u"10:15:02,114: R: setup(05): 02 FF 03 ", true, u"10:15:02,114", u"R", u"setup(05)", u"02 FF 03 "},
        // No separator: no row (the hyphen lines of text traces).
        SplitCase{u"-------------------------------------------", false, u"", u"", u"", u""},
        SplitCase{u"", false, u"", u"", u"", u""},
        SplitCase{u"10:15:02,114:R", false, u"", u"", u"", u""},
        // Only the time separator: empty middle columns, the rest is Data.
        SplitCase{u"10:15:02,114: rest of it", true, u"10:15:02,114", u"", u"", u"rest of it"},
        // Two separators: empty Message.
        SplitCase{u"t: T: 02 01", true, u"t", u"T", u"", u"02 01"},
        // More than three: the rest, separators included, is Data.
        SplitCase{u"t: R: m: a: b: c", true, u"t", u"R", u"m", u"a: b: c"},
        // Empty fields between separators.
        SplitCase{u": : : ", true, u"", u"", u"", u""},
        SplitCase{u"t: ", true, u"t", u"", u"", u""},
        // Text traces keep their own formatting after the third separator.
        SplitCase{u"09:00:00,000: T: SIP/2.0 200 OK: To: <sip:1@x>", true, u"09:00:00,000", u"T",
                  u"SIP/2.0 200 OK", u"To: <sip:1@x>"}),
                         [](const auto& testCase) { return CaseName(QString::fromUtf16(testCase.param.line).toStdString(), testCase.index); });

struct HexCase {
    const char16_t* text;
    const char* octets;
};

class ParseDataColumnTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(ParseDataColumnTest, ReadsPairsInStepsOfThree)
{
    const HexCase& c = GetParam();
    EXPECT_EQ(ParseDataColumn(QStringView(c.text)).toHex(' ').toUpper(), QByteArray(c.octets));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDataColumnTest,
    ::testing::Values(HexCase{u"02 ff 03", "02 FF 03"},
                      HexCase{u"02 FF 03 ", "02 FF 03"},
                      // A pair that is not hex is skipped without shifting the rest.
                      HexCase{u"02 XY 03", "02 03"},
                      HexCase{u"0G 1F", "1F"},
                      // Without blanks the text is still read in steps of three.
                      HexCase{u"020103", "02 10"},
                      HexCase{u"", ""},
                      HexCase{u"0", ""},
                      HexCase{u"0A", "0A"},
                      HexCase{u"0A 1", "0A"},
                      // Characters that only look like digits give nothing.
                      HexCase{u"\uFF10\uFF11 41", "41"},
                      HexCase{u"\u00E4\u00F6 41", "41"}),
                         [](const auto& testCase) { return CaseName(QString::fromUtf16(testCase.param.text).toStdString(), testCase.index); });

TEST(ParseDataColumn, StopsAt256Octets)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("%1 ").arg(i % 256, 2, 16, QLatin1Char('0'));
    const QByteArray octets = ParseDataColumn(text);
    ASSERT_EQ(octets.size(), kMaxFrameOctets);
    EXPECT_EQ(uint8_t(octets[255]), 255);
}

TEST(ParseDataColumn, SkippedPairsDoNotCountTowardsTheLimit)
{
    QString text = QStringLiteral("ZZ ").repeated(100) + QStringLiteral("01 ").repeated(256);
    EXPECT_EQ(ParseDataColumn(text).size(), 256);
}

} // namespace
