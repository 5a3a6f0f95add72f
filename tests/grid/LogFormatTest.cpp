#include "LogFormat.h"
#include "LogRows.h"

#include <gtest/gtest.h>

namespace {

// The rules of a row built from a line, written plainly on text, to hold the
// byte-level path of TLogRows against.
struct TRow {
    int Image = -1;
    QStringList Texts;
    bool operator==(const TRow&) const = default;
};

TRow ReferenceRow(const QString& line, QChar delimiter, int columns, bool withImage)
{
    QStringList fields;
    SplitLine(line, delimiter, fields);
    while (fields.size() < columns)
        fields.append(QString());
    TRow row;
    qsizetype k = 0;
    if (withImage) {
        row.Image = ParseImageIndex(fields.value(0));
        k = 1;
    }
    row.Texts.append(k < fields.size() ? UnescapeField(fields[k++], delimiter) : QString());
    for (; k < fields.size() && row.Texts.size() < std::max(columns, 1); ++k)
        row.Texts.append(UnescapeField(fields[k], delimiter));
    while (row.Texts.size() < std::max(columns, 1))
        row.Texts.append(QString());
    return row;
}

TRow StoredRow(const TLogRows& rows, qsizetype row)
{
    return {rows.ImageIndex(row), rows.Texts(row)};
}

std::ostream& operator<<(std::ostream& out, const TRow& row)
{
    return out << row.Image << " [" << row.Texts.join(u'|').toStdString() << "]";
}

} // namespace

TEST(SplitLine, FieldsAreLeftTrimmedAndAnEmptyLastFieldIsDropped)
{
    const struct {
        const char16_t* line;
        QStringList fields;
    } cases[] = {
        {u"a;b;", {"a", "b"}},
        {u"", {}},
        {u"   ", {}},
        {u"a;;b", {"a", "", "b"}},
        {u";", {""}},
        {u" a;\tb ; c ", {"a", "b ", "c "}},
        {u"x\u00FEy;z", {u"x\u00FEy"_qs, "z"}},
    };
    for (const auto& c : cases) {
        QStringList fields;
        SplitLine(QStringView(c.line), u';', fields);
        EXPECT_EQ(fields, c.fields) << QString::fromUtf16(c.line).toStdString();
    }
}

TEST(EscapeField, DelimiterBecomesThornLineBreaksBlanksAndTheFieldIsTrimmed)
{
    const struct {
        const char16_t* text;
        const char16_t* escaped;
    } cases[] = {
        {u"x;y", u"x\u00FEy"},
        {u"  12 ", u"12"},
        {u"; x ;", u"\u00FE x \u00FE"},
        {u"a\r\nb\n", u"a  b"},
        {u"\x01\x1F ok \x7F", u"ok \x7F"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeField(QStringView(c.text), u';'), QString::fromUtf16(c.escaped));
}

TEST(ParseImageIndex, DecimalIntegersOnly)
{
    const struct {
        const char* text;
        int image;
    } cases[] = {{"7", 7}, {"-3", -3}, {"+4", 4}, {"0", 0}, {"x", -1}, {"", -1}, {"7 ", -1},
                 {"99999999999", -1}, {"+-1", -1}, {"1x", -1}, {"-", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseImageIndex(QString::fromLatin1(c.text)), c.image) << c.text;
}

TEST(LogRows, LinesBecomeRowsOfTheColumnCount)
{
    const struct {
        const char16_t* line;
        bool withImage;
        TRow row;
    } cases[] = {
        {u"a;b", false, {-1, {"a", "b", "", ""}}},
        {u"a;b;c;d;e;f", false, {-1, {"a", "b", "c", "d"}}},
        {u"", false, {-1, {"", "", "", ""}}},
        {u"x\u00FEy; z", false, {-1, {"x;y", "z", "", ""}}},
        {u"7;a;b;c;d", true, {7, {"a", "b", "c", "d"}}},
        {u"x;a", true, {-1, {"a", "", "", ""}}},
        {u"3;a;b;c;d;e", true, {3, {"a", "b", "c", "d"}}},
    };
    for (const auto& c : cases) {
        TLogRows rows;
        ASSERT_TRUE(rows.AppendLine(QStringView(c.line), u';', 4, c.withImage));
        EXPECT_EQ(StoredRow(rows, 0), c.row) << QString::fromUtf16(c.line).toStdString();
    }
}

TEST(LogRows, AgreesWithTheTextRulesForEveryDelimiterKind)
{
    const QString lines[] = {
        "a;b;c;d",      "  a ; b;",       ";;;",         "\u00FE;\u00FE\u00FE",     "",
        "  ",           "5;x;y",          "-2;\tq",      "ä;€;ö§ü;",               "a€b€c€d€e",
        "x§y§§",        "\u00FEx\u00A7",  "日本;語;",      "12 ; 34 ;56 ;78 ;90",     "\x01;\x02",
    };
    const QChar delimiters[] = {u';', u'\t', u'\u00A7', u'\u20AC', u'\u00FE'};
    for (const QChar delimiter : delimiters)
        for (const QString& line : lines)
            for (const int columns : {0, 1, 4})
                for (const bool withImage : {false, true}) {
                    TLogRows rows;
                    ASSERT_TRUE(rows.AppendLine(line, delimiter, columns, withImage));
                    EXPECT_EQ(StoredRow(rows, 0), ReferenceRow(line, delimiter, columns, withImage))
                        << line.toStdString() << " delimiter U+" << int(delimiter.unicode()) << " columns " << columns << " image " << withImage;
                }
}

TEST(LogRows, TextsAreStoredAsTheyAreFilledOrCut)
{
    TLogRows rows;
    ASSERT_TRUE(rows.AppendTexts(QStringList{" 10:15 ", "R"}, 4));
    ASSERT_TRUE(rows.AppendTexts(QStringList{"a", "b", "c", "d", "e"}, 4, 3));
    ASSERT_TRUE(rows.AppendTexts(QStringList{"only"}, 0));
    ASSERT_TRUE(rows.AppendTexts(QStringList{u"n\0ul"_qs}, 1));
    ASSERT_EQ(rows.Count(), 4);
    EXPECT_EQ(StoredRow(rows, 0), (TRow{-1, {" 10:15 ", "R", "", ""}}));
    EXPECT_EQ(StoredRow(rows, 1), (TRow{3, {"a", "b", "c", "d"}}));
    EXPECT_EQ(StoredRow(rows, 2), (TRow{-1, {"only"}}));
    EXPECT_EQ(rows.Text(3, 0), "n ul");
    EXPECT_EQ(rows.ImageIndex(0), -1); // rows before the first image keep -1
}

TEST(LogRows, OutOfRangeReadsAreEmpty)
{
    TLogRows rows;
    ASSERT_TRUE(rows.AppendTexts(QStringList{"a", "b"}, 2));
    EXPECT_TRUE(rows.Field(0, 2).isEmpty());
    EXPECT_TRUE(rows.Field(1, 0).isEmpty());
    EXPECT_TRUE(rows.Field(-1, 0).isEmpty());
    EXPECT_TRUE(rows.Field(0, -1).isEmpty());
    EXPECT_EQ(rows.FieldCount(5), 0);
    EXPECT_TRUE(rows.Texts(-1).isEmpty());
    rows.Clear();
    EXPECT_EQ(rows.Count(), 0);
    EXPECT_TRUE(rows.Field(0, 0).isEmpty());
}
