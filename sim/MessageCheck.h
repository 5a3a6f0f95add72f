#pragma once
// What the simulated card accepts from an application: requests and responses
// of the commands CAPI 2.0 defines, with a sane Length field.

#include <cstdint>

namespace vsim {

constexpr uint32_t kMinMessageLength = 8;
constexpr uint32_t kMaxMessageLength = 8 + 2048 + 128;

bool IsKnownCommand(uint8_t command);
// An application may only put requests (0x80) and responses (0x83).
bool IsApplicationSubcommand(uint8_t subcommand);
// Checks one message put by an application; false counts as a violation.
bool IsValidPut(uint32_t applId, const uint8_t* message);

} // namespace vsim
