#pragma once
// The text conversions of the trace list: a trace line of the CAPI component
// becomes the four column texts of a row (SplitTraceLine, shared with the
// command line), and the "Data" column of a row becomes the frame octets
// again, or, for a driver that traces text, the lines of that text.

#include "TraceRow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>


// Most octets one row can give back; a frame is never longer.
inline constexpr qsizetype kMaxFrameOctets = 256;

// Reads the "Data" text in steps of three characters: two hex digits (either
// case) give one octet, a pair with another character is skipped without
// shifting the rest. At most kMaxFrameOctets octets; the rest is ignored.
QByteArray ParseDataColumn(QStringView data);
// The same on the column's UTF-8 text, for a Data text that IsHexData.
QByteArray ParseDataColumn(QByteArrayView data);

// True when a Data text reads as frame octets: no line break, and at least
// half of its three-character steps are hex pairs. The KORVAN driver traces
// text lines instead, which must not be decoded as a frame. Empty is a frame
// (of no octets).
bool IsHexData(QStringView data);
bool IsHexData(QByteArrayView data);

// True when a row holds a frame: its Data is empty or reads as octets, and
// the row was traced (it has a time stamp or a direction). The body lines of
// the KORVAN driver's text have neither: they were split at their own ": ".
bool IsFrameRow(QStringView time, QStringView direction, QStringView data);
bool IsFrameRow(QByteArrayView time, QByteArrayView direction, QByteArrayView data);

// "hh:mm:ss,zzz" (or with '.', or without the fraction) as milliseconds of
// the day; -1 when the text is not a time of day.
int TimeOfDayMs(QStringView text);

// The lines a text row shows in the decode tree. A line that began with a
// time stamp has its text in "Data"; any other line was split at its own
// ": " and is joined again, so the user reads what the driver sent.
QStringList TextRowLines(const QStringList& columns);
