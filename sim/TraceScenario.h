#pragma once
// What the simulated controller plays: D-channel frames, each sent ("T") or
// received ("R"), CAPI messages for the application, and pauses between them.
//
// Scenario text, one step per line:
//   T 02 FF 03 08 01 05 05 ...   a frame the terminal sent (hex pairs,
//   R 02FF0308...                blanks between pairs optional)
//   MSG 1A 00 00 00 02 82 ...    a CAPI message delivered as it stands (at
//                                least the 8-octet header)
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
// A CAPI message: its Length field is a word.
constexpr size_t kMinScriptMessage = 8;
constexpr size_t kMaxScriptMessage = 0xFFFF;
// Longer pauses are shortened to this.
constexpr uint32_t kMaxTraceWait = 600000;

struct TTraceStep {
    bool IsWait = false;
    bool IsMessage = false; // Frame holds a CAPI message
    bool Sent = false;
    uint32_t WaitMs = 0;
    std::vector<uint8_t> Frame;
};

struct TTraceScenario {
    std::vector<TTraceStep> Steps;
    std::vector<std::string> Errors; // "line N: ..."
};

TTraceScenario ParseScenario(std::string_view text);
// A scenario with CAPI messages is a script: it plays from the application's
// registration on, not from its trace request.
bool IsScript(const TTraceScenario& scenario);
// False with a reason when the file cannot be read.
bool ReadScenarioFile(const std::string& path, std::string& text, std::string& error);

// The built-in demo: basic-rate traffic of one terminal (TEI assignment, an
// incoming and an outgoing call with advice of charge, a call another
// terminal took, link release), with pauses of a few hundred milliseconds.
std::string_view DemoScenario();

} // namespace vsim
