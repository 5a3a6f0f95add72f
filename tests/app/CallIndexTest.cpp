// The pieces under the window's analysis tools: row kinds, text matching,
// the call index and the row filter, on stored rows without a window.

#include "CallIndex.h"
#include "LogRows.h"
#include "TextMatch.h"
#include "TraceFilter.h"
#include "TraceLine.h"

#include <gtest/gtest.h>

namespace {

void Add(TLogRows& rows, const QString& time, const QString& direction, const QString& message, const QString& data)
{
    rows.AppendTexts(QStringList{time, direction, message, data}, 4);
}

TEST(TraceRowKindTest, TimesOfDay)
{
    EXPECT_EQ(TimeOfDayMs(u"10:15:02,114"), ((10 * 60 + 15) * 60 + 2) * 1000 + 114);
    EXPECT_EQ(TimeOfDayMs(u"9:00:00.5"), 9 * 3600 * 1000 + 500);
    EXPECT_EQ(TimeOfDayMs(u"23:59:59"), (23 * 3600 + 59 * 60 + 59) * 1000);
    for (const char16_t* bad : {u"", u"Via", u"24:00:00,000", u"10:61:00,000", u"10:00:00;000", u"10:00:00,0000",
                                u"1:2:3", u"aa:bb:cc,ddd"})
        EXPECT_EQ(TimeOfDayMs(bad), -1) << QString::fromUtf16(bad).toStdString();
}

TEST(TraceRowKindTest, FramesAndTextRows)
{
    EXPECT_TRUE(IsFrameRow(u"10:00:00,000", u"R", u"02 FF 03 "));
    EXPECT_TRUE(IsFrameRow(u"10:00:00,000", u"", u"02 ff 03"));
    EXPECT_TRUE(IsFrameRow(u"x", u"T", u"02 XY 03 ")); // a bad pair is skipped, not text
    EXPECT_TRUE(IsFrameRow(u"", u"", u""));            // nothing: an empty frame
    EXPECT_FALSE(IsFrameRow(u"10:00:00,000", u"R", u"SIP/2.0 200 OK"));
    EXPECT_FALSE(IsFrameRow(u"10:00:00,000", u"R", u"02 FF\r\n03"));
    EXPECT_FALSE(IsFrameRow(u"Via", u"SIP/2.0/UDP host", u"0"));
    EXPECT_TRUE(IsFrameRow(QByteArrayView("10:00:00,000"), QByteArrayView("x"), QByteArrayView("02 FF 03")));
    EXPECT_FALSE(IsFrameRow(QByteArrayView("Via"), QByteArrayView("x"), QByteArrayView("0")));

    EXPECT_EQ(TextRowLines({"10:00:00,000", "R", "", "SIP/2.0 200 OK\r\nTo: a\n"}),
              (QStringList{"SIP/2.0 200 OK", "To: a"}));
    EXPECT_EQ(TextRowLines({"Via", "SIP/2.0/UDP host", "", "5060"}), (QStringList{"Via: SIP/2.0/UDP host: 5060"}));
    EXPECT_EQ(ParseDataColumn(QByteArrayView("02 ff XY 03")), QByteArray::fromHex("02FF03"));
}

TEST(TextMatchTest, FoldsAsciiCaseInBytesAndText)
{
    const TTextMatch match(QStringLiteral("Setup"));
    EXPECT_TRUE(match.In(QByteArrayView("call SETUP(05)")));
    EXPECT_TRUE(match.In(QByteArrayView("setup")));
    EXPECT_FALSE(match.In(QByteArrayView("setu")));
    EXPECT_FALSE(match.In(QByteArrayView("")));
    EXPECT_TRUE(match.In(u"IE: SETUP"));
    EXPECT_EQ(match.IndexIn(u"a setup"), 2);
    EXPECT_TRUE(TTextMatch(QStringLiteral("Ä")).In(QByteArrayView("xÄy")));
    EXPECT_TRUE(TTextMatch().In(QByteArrayView("")));
    EXPECT_TRUE(TTextMatch().IsEmpty());
}

TEST(CallIndexTest, ReusedReferenceDummyAndForeignRows)
{
    TLogRows rows;
    TCallIndex index;
    Add(rows, "10:00:00,000", "T", "setup(05)", "00 01 00 00 08 01 05 05 ");
    Add(rows, "10:00:00,100", "R", "", "02 01 00 00 08 01 85 5A ");      // release complete
    Add(rows, "10:00:00,200", "R", "", "02 01 00 00 08 01 85 07 ");      // after the end: a call of its own
    Add(rows, "10:00:01,000", "T", "setup(05)", "00 01 00 00 08 01 05 05 "); // the value again
    Add(rows, "10:00:01,100", "T", "", "00 01 00 00 08 00 62 ");          // dummy call reference
    Add(rows, "10:00:01,200", "T", "", "FE FF 03 0F 7C 5A 01 FF ");      // TEI management
    Add(rows, "10:00:01,300", "", "", "00 01 00 00 08 01 05 05 ");       // no direction
    Add(rows, "10:00:01,400", "R", "", "SIP/2.0 200 OK");                 // text
    EXPECT_TRUE(index.Update(rows));
    ASSERT_EQ(index.Calls().size(), 3u);
    EXPECT_EQ(index.Calls()[0].Rows, (std::vector<qsizetype>{0, 1}));
    EXPECT_TRUE(index.Calls()[0].Released);
    EXPECT_EQ(index.Calls()[0].DurationMs(), 100);
    EXPECT_EQ(index.Calls()[1].Rows, (std::vector<qsizetype>{2}));
    EXPECT_TRUE(index.Calls()[1].SetupDirection.isNull());
    EXPECT_EQ(index.Calls()[2].Rows, (std::vector<qsizetype>{3}));
    EXPECT_EQ(index.CallOf(4), -1);
    EXPECT_TRUE(index.IsQ931(4));
    EXPECT_FALSE(index.IsQ931(5));
    EXPECT_FALSE(index.IsQ931(6));
    EXPECT_FALSE(index.IsQ931(7));
    EXPECT_EQ(index.CallOf(99), -1);
    EXPECT_FALSE(index.Update(rows)); // nothing new

    // A SETUP while the call was set up already: the value was taken again.
    Add(rows, "10:00:02,000", "T", "setup(05)", "00 01 00 00 08 01 05 05 ");
    EXPECT_TRUE(index.Update(rows));
    EXPECT_EQ(index.Calls().size(), 4u);

    // Over midnight.
    TCall call;
    call.StartMs = TimeOfDayMs(u"23:59:59,500");
    call.LastMs = TimeOfDayMs(u"00:00:00,250");
    EXPECT_EQ(call.DurationMs(), 750);

    // Rows cleared behind the index's back: sorted anew.
    rows.Clear();
    Add(rows, "10:00:00,000", "T", "setup(05)", "00 01 00 00 08 01 05 05 ");
    index.Update(rows);
    EXPECT_EQ(index.SortedRows(), 1);
    EXPECT_EQ(index.Calls().size(), 1u);
}

TEST(RowFilterTest, CombinesItsChoicesAndSortsRowsAsNeeded)
{
    TLogRows rows;
    TCallIndex index;
    Add(rows, "10:00:00,000", "T", "setup(05)", "00 01 00 00 08 01 05 05 ");
    Add(rows, "10:00:00,100", "R", "alerting(05)", "02 01 00 00 08 01 85 01 ");
    Add(rows, "10:00:00,200", "R", "TEI management(00)", "FE FF 03 0F 7C 5A 01 FF ");
    Add(rows, "10:00:00,300", "R", "setup(07)", "02 01 00 00 08 01 07 05 70 02 81 39 ");

    auto shown = [&](const TTraceFilter& filter) {
        const auto accept = RowFilter(filter, rows, index);
        QList<qsizetype> result;
        for (qsizetype row = 0; row < rows.Count(); ++row)
            if (!accept || accept(row))
                result << row;
        return result;
    };
    EXPECT_FALSE(RowFilter(TTraceFilter{}, rows, index));
    TTraceFilter filter;
    filter.Text = TTextMatch(QStringLiteral("SETUP"));
    EXPECT_EQ(shown(filter), (QList<qsizetype>{0, 3}));
    filter.Direction = u'R';
    EXPECT_EQ(shown(filter), (QList<qsizetype>{3}));
    filter = {};
    filter.Layer3Only = true; // sorts the rows it needs
    EXPECT_EQ(shown(filter), (QList<qsizetype>{0, 1, 3}));
    EXPECT_EQ(index.SortedRows(), 4);
    filter.Call = index.CallOf(1);
    EXPECT_EQ(shown(filter), (QList<qsizetype>{0, 1}));
    filter = {};
    filter.Text = TTextMatch(QStringLiteral("7C 5A"));
    EXPECT_EQ(shown(filter), (QList<qsizetype>{2}));

    // Find: by the decode ("9" is the called number of row 3), wrapping.
    const auto stored = [](qsizetype shownRow) { return shownRow; };
    const TTextMatch called(QStringLiteral("Called party number"));
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, -1, false, called), 3);
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, 3, false, called), 3);
    const TTextMatch setup(QStringLiteral("setup"));
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, 0, false, setup), 3);
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, 3, false, setup), 0);
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, 0, true, setup), 3);
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, -1, true, setup), 3);
    EXPECT_EQ(FindShownRow(rows, rows.Count(), stored, -1, false, TTextMatch(QStringLiteral("zzz"))), -1);
    EXPECT_EQ(FindShownRow(rows, 0, stored, -1, false, setup), -1);
}

} // namespace
