#include "RemoteControl.h"

#include "RemoteFraming.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace remote {

namespace {

constexpr uint32_t kManufacturerSize = 64;
constexpr uint32_t kSerialNumberSize = 8;
constexpr uint32_t kProfileSize = 64;
constexpr uint16_t kDriverFault = 0x1108;

uint32_t ReadLittle(const std::vector<uint8_t>& bytes, size_t offset, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        if (offset + i < bytes.size())
            value |= uint32_t(bytes[offset + i]) << (8 * i);
    return value;
}

void AppendLittle(std::vector<uint8_t>& out, uint32_t value, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// A value the library reads as a struct: its length octet, then the octets.
void AppendStruct(std::vector<uint8_t>& out, const uint8_t* bytes, uint32_t count)
{
    out.push_back(uint8_t(count));
    out.insert(out.end(), bytes, bytes + count);
}


void AnswerManufacturer(const std::vector<uint8_t>& /*request*/, const TCapiEntryPoints& driver,
                        std::vector<uint8_t>& out)
{
    char text[kManufacturerSize] = {};
    driver.CAPI_GET_MANUFACTURER(text);
    text[kManufacturerSize - 1] = 0;
    AppendStruct(out, reinterpret_cast<const uint8_t*>(text), kManufacturerSize);
}

void AnswerVersion(const std::vector<uint8_t>& /*request*/, const TCapiEntryPoints& driver,
                   std::vector<uint8_t>& out)
{
    uint32_t version[4] = {};
    driver.CAPI_GET_VERSION(&version[0], &version[1], &version[2], &version[3]);
    uint8_t bytes[16];
    for (size_t i = 0; i < 4; ++i)
        for (size_t k = 0; k < 4; ++k)
            bytes[4 * i + k] = uint8_t(version[i] >> (8 * k));
    AppendStruct(out, bytes, sizeof bytes);
}

void AnswerSerialNumber(const std::vector<uint8_t>& /*request*/, const TCapiEntryPoints& driver,
                        std::vector<uint8_t>& out)
{
    char text[kSerialNumberSize] = {};
    driver.CAPI_GET_SERIAL_NUMBER(text);
    text[kSerialNumberSize - 1] = 0;
    AppendStruct(out, reinterpret_cast<const uint8_t*>(text), kSerialNumberSize);
}

void AnswerProfile(const std::vector<uint8_t>& request, const TCapiEntryPoints& driver,
                   std::vector<uint8_t>& out)
{
    uint8_t profile[kProfileSize] = {};
    const uint32_t info = driver.CAPI_GET_PROFILE(profile, ControllerOf(request));
    AppendLittle(out, info > 0xFFFF ? kDriverFault : info, 2);
    out.insert(out.end(), std::begin(profile), std::end(profile));
}

using TAnswer = void (*)(const std::vector<uint8_t>& request, const TCapiEntryPoints& driver,
                         std::vector<uint8_t>& out);

struct TControlRow {
    TControl Request;
    uint8_t Confirmation;
    TAnswer Answer; // null: the session registers itself
};

constexpr TControlRow kControls[] = {
    {TControl::Register, 0xF3, nullptr},
    {TControl::GetManufacturer, 0xFB, AnswerManufacturer},
    {TControl::GetVersion, 0xFD, AnswerVersion},
    {TControl::GetSerialNumber, 0xFF, AnswerSerialNumber},
    {TControl::GetProfile, 0xE1, AnswerProfile},
};

} // namespace

std::optional<TControl> ControlOf(const std::vector<uint8_t>& payload)
{
    if (payload.size() < kCapiHeaderSize || payload[5] != kControlSubcommand)
        return std::nullopt;
    for (const TControlRow& row : kControls)
        if (uint8_t(row.Request) == payload[4])
            return row.Request;
    return std::nullopt;
}

uint8_t ConfirmationOf(TControl control)
{
    for (const TControlRow& row : kControls)
        if (row.Request == control)
            return row.Confirmation;
    return 0;
}

uint32_t ControllerOf(const std::vector<uint8_t>& payload)
{
    return ReadLittle(payload, kCapiHeaderSize, 4);
}

TRegisterParameters RegisterParametersOf(const std::vector<uint8_t>& payload)
{
    TRegisterParameters parameters;
    parameters.BufferSize = ReadLittle(payload, 12, 2);
    parameters.MaxLogicalConnection = ReadLittle(payload, 14, 2);
    parameters.MaxBDataBlocks = ReadLittle(payload, 16, 2);
    parameters.MaxBDataLen = ReadLittle(payload, 18, 2);
    parameters.CapiVersion = uint8_t(ReadLittle(payload, 20, 1));
    return parameters;
}

std::vector<uint8_t> ConfirmationHeader(const std::vector<uint8_t>& request, TControl control)
{
    std::vector<uint8_t> out;
    out.reserve(kCapiHeaderSize + 2 + kProfileSize);
    AppendLittle(out, 0, 2); // the library ignores the Length word
    AppendLittle(out, ReadLittle(request, 2, 2), 2);
    out.push_back(ConfirmationOf(control));
    out.push_back(kControlSubcommand);
    AppendLittle(out, ReadLittle(request, 6, 2), 2);
    return out;
}

std::vector<uint8_t> RegisterConfirmation(const std::vector<uint8_t>& request, uint16_t info)
{
    std::vector<uint8_t> out = ConfirmationHeader(request, TControl::Register);
    AppendLittle(out, info, 2);
    return out;
}

std::vector<uint8_t> AnswerQuery(const std::vector<uint8_t>& request, TControl control,
                                 const TCapiEntryPoints& driver)
{
    std::vector<uint8_t> out = ConfirmationHeader(request, control);
    for (const TControlRow& row : kControls)
        if (row.Request == control && row.Answer != nullptr)
            row.Answer(request, driver, out);
    return out;
}

} // namespace remote
