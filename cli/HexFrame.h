#pragma once
// A frame typed on the command line: hex digit pairs, either case, blanks
// between pairs optional ("08 01 05", "080105").

#include <QByteArray>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The octets, or nothing when the text is not a non-empty run of hex pairs.
std::optional<QByteArray> ParseHexFrame(QStringView text);

// The same on bytes, for lines read in bulk: fills octets (reusing its
// memory) and tells whether the text was a frame. Bytes outside ASCII are
// never part of a frame.
bool ParseHexFrame(std::string_view text, std::vector<uint8_t>& octets);
