#pragma once
// Control requests of the remote-CAPI protocol: registration and the four
// driver queries, each a CAPI-style header (Length, ApplID, command, 0xFF,
// message number) and a controller dword. The confirmation repeats the
// header with the confirmation's command. The client library takes an info
// word right after the header for registration and profile, and a length
// octet followed by the value for manufacturer, version and serial number.

#include "CapiDriverLibrary.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace remote {

inline constexpr uint8_t kControlSubcommand = 0xFF;
inline constexpr uint32_t kControlRequestSize = 12; // header and controller dword

enum class TControl : uint8_t {
    Register = 0xF2,
    GetManufacturer = 0xFA,
    GetVersion = 0xFC,
    GetSerialNumber = 0xFE,
    GetProfile = 0xE0,
};

// The parameters of a register request after its controller dword.
struct TRegisterParameters {
    uint32_t BufferSize = 0;
    uint32_t MaxLogicalConnection = 0;
    uint32_t MaxBDataBlocks = 0;
    uint32_t MaxBDataLen = 0;
    uint8_t CapiVersion = 0;
};

// The control request a payload holds, if it is one.
std::optional<TControl> ControlOf(const std::vector<uint8_t>& payload);
uint8_t ConfirmationOf(TControl control);
uint32_t ControllerOf(const std::vector<uint8_t>& payload);
// Missing octets of a short request read as 0.
TRegisterParameters RegisterParametersOf(const std::vector<uint8_t>& payload);

// The confirmation's header for a request.
std::vector<uint8_t> ConfirmationHeader(const std::vector<uint8_t>& request, TControl control);
std::vector<uint8_t> RegisterConfirmation(const std::vector<uint8_t>& request, uint16_t info);

// Answers a query from the driver; registration is the session's own.
std::vector<uint8_t> AnswerQuery(const std::vector<uint8_t>& request, TControl control,
                                 const TCapiEntryPoints& driver);

} // namespace remote
