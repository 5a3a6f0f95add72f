#pragma once
// The two text conversions of the trace list: a trace line of the CAPI
// component becomes the four column texts of a row (SplitTraceLine, shared
// with the command line), and the "Data" column of a row becomes the frame
// octets again.

#include "TraceRow.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>


// Most octets one row can give back; a frame is never longer.
inline constexpr qsizetype kMaxFrameOctets = 256;

// Reads the "Data" text in steps of three characters: two hex digits (either
// case) give one octet, a pair with another character is skipped without
// shifting the rest. At most kMaxFrameOctets octets; the rest is ignored.
QByteArray ParseDataColumn(QStringView data);
