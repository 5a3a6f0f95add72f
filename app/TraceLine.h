#pragma once
// The two text conversions of the trace list: a trace line of the CAPI
// component becomes the four column texts of a row, and the "Data" column of
// a row becomes the frame octets again.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// Column texts of one row: "Time", "T/R", "Message", "Data".
using TTraceColumns = std::array<QString, 4>;

// Splits at the first three ": " (a colon inside the time stamp is not
// followed by a blank, so it does not split). No ": " at all gives no row:
// the hyphen separator lines of some drivers end there. With fewer than three
// separators the missing middle columns are "" and the rest goes to "Data".
std::optional<TTraceColumns> SplitTraceLine(QStringView info);

// Most octets one row can give back; a frame is never longer.
inline constexpr qsizetype kMaxFrameOctets = 256;

// Reads the "Data" text in steps of three characters: two hex digits (either
// case) give one octet, a pair with another character is skipped without
// shifting the rest. At most kMaxFrameOctets octets; the rest is ignored.
QByteArray ParseDataColumn(QStringView data);
