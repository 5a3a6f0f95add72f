#include "CaptureTime.h"

#include <QDate>

namespace {

constexpr int64_t kMicro = 1000000;
constexpr int64_t kHourUs = 3600 * kMicro;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `at`.
std::optional<int> Digits(QByteArrayView text, qsizetype at, qsizetype count)
{
    if (at + count > text.size())
        return std::nullopt;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        if (!IsDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<int64_t> ParseTimeOfDay(QByteArrayView text)
{
    // One or two hour digits.
    const qsizetype hourDigits = text.size() > 1 && IsDigit(text[1]) ? 2 : 1;
    const auto hour = Digits(text, 0, hourDigits);
    qsizetype at = hourDigits;
    if (!hour || *hour > 23 || at >= text.size() || text[at] != ':')
        return std::nullopt;
    const auto minute = Digits(text, at + 1, 2);
    at += 3;
    if (!minute || *minute > 59 || at >= text.size() || text[at] != ':')
        return std::nullopt;
    const auto second = Digits(text, at + 1, 2);
    at += 3;
    if (!second || *second > 59)
        return std::nullopt;
    int64_t micro = 0;
    if (at < text.size()) {
        if (text[at] != ',' && text[at] != '.')
            return std::nullopt;
        int64_t scale = kMicro / 10;
        qsizetype digits = 0;
        for (++at; at < text.size(); ++at, ++digits) {
            if (!IsDigit(text[at]) || digits >= 9)
                return std::nullopt;
            micro += (text[at] - '0') * scale;
            scale /= 10;
        }
        if (digits == 0)
            return std::nullopt;
    }
    return (int64_t(*hour) * 3600 + *minute * 60 + *second) * kMicro + micro;
}

int64_t TRowClock::LocalHourStart(int64_t day, int hour)
{
    if (day == m_cachedDay && hour == m_cachedHour)
        return m_cachedStart;
    const QDate date = QDate::fromJulianDay(day);
    std::tm local = {};
    local.tm_year = date.year() - 1900;
    local.tm_mon = date.month() - 1;
    local.tm_mday = date.day();
    local.tm_hour = hour;
    local.tm_isdst = -1; // whichever the zone has in force then
    m_cachedDay = day;
    m_cachedHour = hour;
    m_cachedStart = int64_t(std::mktime(&local));
    return m_cachedStart;
}

std::optional<uint64_t> TRowClock::Next(QByteArrayView timeText)
{
    const auto time = ParseTimeOfDay(timeText);
    if (!time)
        return std::nullopt;
    if (m_previous >= 0 && *time < m_previous)
        ++m_day;
    m_previous = *time;
    const int hour = int(*time / kHourUs);
    const int64_t seconds = LocalHourStart(m_day, hour);
    const int64_t us = seconds * kMicro + *time % kHourUs;
    return us < 0 ? 0 : uint64_t(us);
}

uint64_t TRowClock::Midnight()
{
    const int64_t us = LocalHourStart(m_day, 0) * kMicro;
    return us < 0 ? 0 : uint64_t(us);
}

QString TTimeOfDayText::Text(uint64_t timeUs)
{
    const int64_t second = int64_t(timeUs / kMicro);
    if (second != m_second) {
        const std::time_t t = std::time_t(second);
        localtime_r(&t, &m_local);
        m_second = second;
    }
    const int ms = int(timeUs % kMicro / 1000);
    char16_t text[12] = {
        char16_t(u'0' + m_local.tm_hour / 10), char16_t(u'0' + m_local.tm_hour % 10), u':',
        char16_t(u'0' + m_local.tm_min / 10),  char16_t(u'0' + m_local.tm_min % 10),  u':',
        char16_t(u'0' + m_local.tm_sec / 10),  char16_t(u'0' + m_local.tm_sec % 10),  u',',
        char16_t(u'0' + ms / 100),             char16_t(u'0' + ms / 10 % 10),         char16_t(u'0' + ms % 10),
    };
    return QString(reinterpret_cast<const QChar*>(text), 12);
}
