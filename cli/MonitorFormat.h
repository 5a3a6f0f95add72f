#pragma once
// The output lines of vessik-cli monitor: one event per line, read by other
// tools. "event NAME" followed by NAME=VALUE for each parameter in its
// declared order.

#include "CapiTypes.h"

#include <QString>
#include <cstdint>

// A JSON string literal: quotes, backslashes and control characters escaped
// (\" \\ \u00XX), everything else as it is; the caller writes it as UTF-8.
QString JsonString(const QString& text);
// The element name of a call status; a value outside the enumeration gives
// its number.
QString CallStatusName(TCallStatus status);
// The 14 fields of the statistics as a JSON array.
QString StatisticsJson(const TVoIPStatistics& statistics);
// WIDTHxHEIGHT, or none.
QString BitmapText(const TBitmap* bitmap);

// Builds one event line.
class TEventLine {
public:
    explicit TEventLine(const char* event);

    // PLCI_NCCI: 0x and 8 upper-case hexadecimal digits.
    TEventLine& Address(uint32_t value);
    TEventLine& Number(const char* name, uint64_t value);
    TEventLine& Boolean(const char* name, bool value);
    TEventLine& Text(const char* name, const QString& value);
    TEventLine& Status(const char* name, TCallStatus value);
    TEventLine& Statistics(const char* name, const TVoIPStatistics& value);
    TEventLine& Bitmap(const char* name, const TBitmap* value);

    const QString& Line() const { return m_line; }

private:
    TEventLine& Field(const char* name, const QString& value);
    QString m_line;
};
