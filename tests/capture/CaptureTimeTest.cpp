#include "CaptureTestSupport.h"
#include "CaptureTime.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

constexpr int64_t kSecond = 1000000;

struct TTimeCase {
    const char* name;
    const char* text;
    int64_t us; // -1: no time of day
};

const TTimeCase kTimes[] = {
    {"SystemFormat", "10:15:02,114", (10 * 3600 + 15 * 60 + 2) * kSecond + 114000},
    {"DotAndMicroseconds", "23:59:59.999999", (24 * 3600 - 1) * kSecond + 999999},
    {"NanosecondsAreCut", "00:00:01,123456789", kSecond + 123456},
    {"OneHourDigitNoFraction", "7:05:00", (7 * 3600 + 5 * 60) * kSecond},
    {"Midnight", "00:00:00,000", 0},
    {"HourOutOfRange", "24:00:00,000", -1},
    {"MinuteOutOfRange", "10:60:00,000", -1},
    {"SecondOutOfRange", "10:00:60,000", -1},
    {"CommaWithoutDigits", "10:00:00,", -1},
    {"TenFractionDigits", "10:00:00,1234567890", -1},
    {"TrailingText", "10:00:00,000 x", -1},
    {"DriverText", "-------------------------------------------", -1},
    {"Empty", "", -1},
};

class TimeOfDayTest : public testing::TestWithParam<TTimeCase> {};

TEST_P(TimeOfDayTest, Parses)
{
    const auto us = ParseTimeOfDay(GetParam().text);
    if (GetParam().us < 0)
        EXPECT_FALSE(us);
    else
        EXPECT_EQ(us.value_or(-1), GetParam().us);
}

INSTANTIATE_TEST_SUITE_P(Texts, TimeOfDayTest, testing::ValuesIn(kTimes),
                         [](const testing::TestParamInfo<TTimeCase>& item) { return std::string(item.param.name); });

uint64_t Utc(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return uint64_t(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), QTimeZone::utc()).toMSecsSinceEpoch()) * 1000;
}

TEST(RowClock, TimesStandOnTheDateGiven)
{
    TTimeZone zone("UTC");
    TRowClock clock(QDate(2024, 3, 5));
    EXPECT_EQ(clock.Midnight(), Utc(2024, 3, 5, 0, 0, 0, 0));
    EXPECT_EQ(clock.Next("10:15:02,114").value_or(0), Utc(2024, 3, 5, 10, 15, 2, 114));
}

TEST(RowClock, AnEarlierTimeStartsTheNextDay)
{
    TTimeZone zone("UTC");
    TRowClock clock(QDate(2024, 2, 28));
    EXPECT_EQ(clock.Next("23:59:59,900").value_or(0), Utc(2024, 2, 28, 23, 59, 59, 900));
    EXPECT_EQ(clock.Next("00:00:00,100").value_or(0), Utc(2024, 2, 29, 0, 0, 0, 100)); // leap day
    EXPECT_EQ(clock.Next("23:00:00,000").value_or(0), Utc(2024, 2, 29, 23, 0, 0, 0));
    EXPECT_EQ(clock.Next("01:00:00,000").value_or(0), Utc(2024, 3, 1, 1, 0, 0, 0));
}

TEST(RowClock, EqualTimesStayOnTheSameDay)
{
    TTimeZone zone("UTC");
    TRowClock clock(QDate(2024, 3, 5));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(clock.Next("12:00:00,000").value_or(0), Utc(2024, 3, 5, 12, 0, 0, 0));
}

TEST(RowClock, RowWithoutATimeLeavesTheDateAsItIs)
{
    TTimeZone zone("UTC");
    TRowClock clock(QDate(2024, 3, 5));
    EXPECT_TRUE(clock.Next("12:00:00,000"));
    EXPECT_FALSE(clock.Next("no time"));
    EXPECT_EQ(clock.Next("12:00:00,001").value_or(0), Utc(2024, 3, 5, 12, 0, 0, 1));
}

TEST(RowClock, LocalTimesFollowTheZoneAcrossSummerTime)
{
    TTimeZone zone("Europe/Berlin");
    const QTimeZone berlin("Europe/Berlin");
    TRowClock clock(QDate(2024, 3, 30));
    const auto local = [&](int day, int h, int m) {
        return uint64_t(QDateTime(QDate(2024, 3, day), QTime(h, m), berlin).toMSecsSinceEpoch()) * 1000;
    };
    EXPECT_EQ(clock.Next("23:30:00,000").value_or(0), local(30, 23, 30)); // UTC+1
    EXPECT_EQ(clock.Next("01:30:00,000").value_or(0), local(31, 1, 30));
    EXPECT_EQ(clock.Next("03:30:00,000").value_or(0), local(31, 3, 30)); // UTC+2
    EXPECT_EQ(local(31, 3, 30) - local(31, 1, 30), uint64_t(3600) * kSecond);
}

TEST(TimeOfDayText, ShowsLocalTimeWithMilliseconds)
{
    TTimeZone zone("Europe/Berlin");
    TTimeOfDayText text;
    EXPECT_EQ(text.Text(Utc(2024, 7, 1, 22, 59, 58, 7) + 999), QStringLiteral("00:59:58,007"));
    EXPECT_EQ(text.Text(Utc(2024, 7, 1, 22, 59, 58, 123)), QStringLiteral("00:59:58,123"));
    EXPECT_EQ(text.Text(Utc(2024, 1, 1, 0, 0, 0, 0)), QStringLiteral("01:00:00,000"));
}

} // namespace
