#pragma once
// A trace line of the CAPI component ("time: T: summary: octets") as the four
// column texts of a row of the trace list and of a log file.

#include <QStringView>
#include <array>
#include <optional>

// Column texts of one row: "Time", "T/R", "Message", "Data"; views into the line.
using TTraceColumns = std::array<QStringView, 4>;

// Splits at the first three ": " (a colon inside the time stamp is not
// followed by a blank, so it does not split). No ": " at all gives no row:
// the hyphen separator lines of some drivers end there. With fewer than three
// separators the missing middle columns are "" and the rest goes to "Data".
std::optional<TTraceColumns> SplitTraceLine(QStringView info);
