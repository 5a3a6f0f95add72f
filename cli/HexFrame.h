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

// The same on bytes, for lines read in bulk: writes the octets to the start
// of buffer, which only ever grows, and returns their count; 0 when the text
// is not a frame. Bytes outside ASCII are never part of a frame.
size_t ParseHexFrame(std::string_view text, std::vector<uint8_t>& buffer);
