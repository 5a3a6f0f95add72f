#pragma once
// A frame typed on the command line: hex digit pairs, either case, blanks
// between pairs optional ("08 01 05", "080105").

#include <QByteArray>
#include <QStringView>
#include <optional>

// The octets, or nothing when the text is not a non-empty run of hex pairs.
std::optional<QByteArray> ParseHexFrame(QStringView text);
