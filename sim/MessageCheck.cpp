#include "MessageCheck.h"

#include <algorithm>
#include <array>

namespace vsim {

namespace {
// The commands of CAPI 2.0; 0x81 and 0x85 are not among them.
constexpr std::array<uint8_t, 15> kCommands = {
    0x01, 0x02, 0x03, 0x04, 0x05, 0x08, 0x41, 0x80, // ALERT .. FACILITY
    0x82, 0x83, 0x84, 0x86, 0x87, 0x88, 0xFF,       // CONNECT_B3 .. MANUFACTURER
};
} // namespace

bool IsKnownCommand(uint8_t command)
{
    return std::find(kCommands.begin(), kCommands.end(), command) != kCommands.end();
}

bool IsApplicationSubcommand(uint8_t subcommand)
{
    return subcommand == 0x80 || subcommand == 0x83;
}

bool IsValidPut(uint32_t applId, const uint8_t* message)
{
    if (message == nullptr)
        return false;
    const uint32_t length = uint32_t(message[0] | (message[1] << 8));
    if (length < kMinMessageLength || length > kMaxMessageLength)
        return false;
    const uint32_t messageApplId = uint32_t(message[2] | (message[3] << 8));
    return messageApplId == (applId & 0xFFFF) && IsKnownCommand(message[4])
        && IsApplicationSubcommand(message[5]);
}

} // namespace vsim
