#pragma once
// What the simulated controller's D-channel trace plays: a list of frames,
// each sent ("T") or received ("R"), and pauses between them.
//
// Scenario text, one step per line:
//   T 02 FF 03 08 01 05 05 ...   a frame the terminal sent (hex pairs,
//   R 02FF0308...                blanks between pairs optional)
//   wait 300                     a pause in milliseconds
//   # ...                        a comment; blank lines are skipped
// A line that is none of these is reported and skipped.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vsim {

// A frame must fit into one MANUFACTURER_IND of the card.
constexpr size_t kMaxTraceFrame = 2048;
// Longer pauses are shortened to this.
constexpr uint32_t kMaxTraceWait = 600000;

struct TTraceStep {
    bool IsWait = false;
    bool Sent = false;
    uint32_t WaitMs = 0;
    std::vector<uint8_t> Frame;
};

struct TTraceScenario {
    std::vector<TTraceStep> Steps;
    std::vector<std::string> Errors; // "line N: ..."
};

TTraceScenario ParseScenario(std::string_view text);
// False with a reason when the file cannot be read.
bool ReadScenarioFile(const std::string& path, std::string& text, std::string& error);

// The built-in demo: basic-rate traffic of one terminal (TEI assignment, an
// incoming and an outgoing call with advice of charge, a call another
// terminal took, link release), with pauses of a few hundred milliseconds.
std::string_view DemoScenario();

} // namespace vsim
