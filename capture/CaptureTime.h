#pragma once
// Time stamps between log rows and capture files. A row holds only the local
// time of day ("hh:nn:ss,zzz"); a packet holds microseconds since 1970 (UTC).

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <cstdint>
#include <ctime>
#include <optional>

// Microseconds since midnight of "h:nn:ss", "hh:nn:ss,zzz" or "hh:nn:ss.zzz"
// (one to nine digits after the comma; past microseconds they are cut).
// Nothing for any other text.
std::optional<int64_t> ParseTimeOfDay(QByteArrayView text);

// Gives each row's time its date: rows run on from `date`, and a time earlier
// than the row before means the log went past midnight, so a day is added.
class TRowClock {
public:
    explicit TRowClock(QDate date) : m_day(date.toJulianDay()) {}

    // Nothing when the text is no time of day; such a row leaves the date as it is.
    std::optional<uint64_t> Next(QByteArrayView timeText);
    // Local midnight of the current day.
    uint64_t Midnight();

private:
    int64_t LocalHourStart(int64_t day, int hour);

    int64_t m_day;
    int64_t m_previous = -1; // time of day of the row before, microseconds
    int64_t m_cachedDay = INT64_MIN;
    int m_cachedHour = -1;
    int64_t m_cachedStart = 0; // seconds since 1970 of that local hour
};

// The Time column of a packet: its local time of day as "hh:nn:ss,zzz".
class TTimeOfDayText {
public:
    QString Text(uint64_t timeUs);

private:
    int64_t m_second = -1; // the last second converted
    std::tm m_local = {};
};
