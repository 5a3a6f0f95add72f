#include "LiveSupplementary.h"

#include "SimController.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace vsim {

namespace {

constexpr uint8_t kFacility = 0x80;
constexpr uint8_t kInfo = 0x08;
constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kConfirmation = 0x81;
constexpr uint8_t kIndication = 0x82;
constexpr uint16_t kSupplementaryServices = 3;
constexpr uint16_t kNotSupported = 0x300E;
constexpr uint16_t kFacilityElement = 0x1C;

// Supplementary-service functions that this network answers with an indication.
constexpr uint16_t kGetSupportedServices = 0;
constexpr uint16_t kListen = 1;
constexpr uint16_t kHold = 2;
constexpr uint16_t kRetrieve = 3;
constexpr uint16_t kEct = 6;
constexpr uint16_t kCfActivate = 9;
constexpr uint16_t kCfDeactivate = 10;
constexpr uint16_t kCfInterrogateParameters = 11;
constexpr uint16_t kCfInterrogateNumbers = 12;

// ROSE local operations of the diversion invokes.
constexpr uint8_t kActivationDiversion = 7;
constexpr uint8_t kDeactivationDiversion = 8;
constexpr uint8_t kInterrogationDiversion = 11;
constexpr uint8_t kInterrogateServedNumbers = 17;

// A BER length this network writes stays in the one-octet short form.
constexpr size_t kMaxShortLength = 0x7F;

// The service bit (of the supported-services mask) each function needs.
int ServiceBit(uint16_t function)
{
    struct TRange {
        uint16_t First, Last;
        int Bit;
    };
    static constexpr TRange kRanges[] = {
        {2, 5, 0}, {6, 6, 2}, {7, 8, 3}, {9, 12, 4}, {13, 13, 5}, {14, 14, 6}, {15, 18, 7}, {19, 20, 8},
    };
    for (const TRange& range : kRanges)
        if (function >= range.First && function <= range.Last)
            return range.Bit;
    return -1;
}

std::atomic<uint16_t> g_messageNumber{0x4000};

// Reads a message's parameters; reads past the end give 0 and mark it bad.
struct TCursor {
    const uint8_t* Data = nullptr;
    uint32_t Size = 0;
    uint32_t Position = 0;
    bool Bad = false;

    uint32_t Take(int octets)
    {
        uint32_t value = 0;
        for (int i = 0; i < octets; ++i) {
            if (Position >= Size) {
                Bad = true;
                return 0;
            }
            value |= uint32_t(Data[Position++]) << (8 * i);
        }
        return value;
    }
    uint8_t Byte() { return uint8_t(Take(1)); }
    uint16_t Word() { return uint16_t(Take(2)); }
    uint32_t Dword() { return Take(4); }
    TCursor Struct()
    {
        const uint32_t length = Byte();
        TCursor inner{Data + std::min(Position, Size), std::min(length, Size - std::min(Position, Size)), 0, Bad};
        if (inner.Size < length)
            Bad = inner.Bad = true;
        Position += length;
        return inner;
    }
    std::string Rest() const
    {
        return Position < Size ? std::string(reinterpret_cast<const char*>(Data + Position), Size - Position)
                               : std::string();
    }
};

// The digits of a facility party number struct (type, plan, presentation, digits).
std::string FacilityPartyNumber(TCursor number)
{
    number.Position = 3;
    return number.Rest();
}

class TMessage {
public:
    TMessage(uint8_t command, uint8_t subcommand, uint16_t number)
        : m_bytes{0, 0, 0, 0, command, subcommand, uint8_t(number), uint8_t(number >> 8)}
    {
    }
    TMessage& Byte(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    TMessage& Word(uint16_t value) { return Byte(uint8_t(value)).Byte(uint8_t(value >> 8)); }
    TMessage& Dword(uint32_t value) { return Word(uint16_t(value)).Word(uint16_t(value >> 16)); }
    TMessage& Bytes(const std::vector<uint8_t>& bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TMessage& Struct(const std::vector<uint8_t>& contents) { return Byte(uint8_t(contents.size())).Bytes(contents); }
    void Send(uint32_t applId)
    {
        m_bytes[0] = uint8_t(m_bytes.size());
        m_bytes[1] = uint8_t(m_bytes.size() >> 8);
        TSimController::Instance().Deliver(applId, m_bytes.data(), uint32_t(m_bytes.size()));
    }

private:
    std::vector<uint8_t> m_bytes;
};

// Little-endian parameter bytes, built up for a struct.
struct TBytes : std::vector<uint8_t> {
    TBytes& Word(uint16_t value)
    {
        push_back(uint8_t(value));
        push_back(uint8_t(value >> 8));
        return *this;
    }
    TBytes& Dword(uint32_t value) { return Word(uint16_t(value)).Word(uint16_t(value >> 16)); }
    TBytes& Struct(const std::vector<uint8_t>& contents)
    {
        push_back(uint8_t(contents.size()));
        insert(end(), contents.begin(), contents.end());
        return *this;
    }
    TBytes& PartyNumber(const std::string& digits)
    {
        std::vector<uint8_t> number = {0x01, 0x00, 0x80};
        number.insert(number.end(), digits.begin(), digits.end());
        return Struct(number);
    }
};

void Confirm(uint32_t applId, uint16_t number, uint32_t address, uint16_t function, const TBytes& parameter)
{
    TBytes contents;
    contents.Word(function).Struct(parameter);
    TMessage(kFacility, kConfirmation, number).Dword(address).Word(0).Word(kSupplementaryServices).Struct(contents).Send(
        applId);
}

void Indicate(uint32_t applId, uint32_t address, uint16_t function, const TBytes& parameter)
{
    TBytes contents;
    contents.Word(function).Struct(parameter);
    TMessage(kFacility, kIndication, g_messageNumber++).Dword(address).Word(kSupplementaryServices).Struct(contents).Send(
        applId);
}

// --- BER of the Facility element -------------------------------------------

struct TTlv {
    uint8_t Tag = 0;
    std::vector<uint8_t> Contents;
};

// One short- or long-form TLV; false at the end or on a malformed one.
bool NextTlv(const std::vector<uint8_t>& octets, size_t& position, TTlv& tlv)
{
    if (position + 2 > octets.size())
        return false;
    tlv.Tag = octets[position++];
    size_t length = octets[position++];
    if (length & 0x80) {
        const size_t count = length & 0x7F;
        if (count == 0 || count > 2 || position + count > octets.size())
            return false;
        length = 0;
        for (size_t i = 0; i < count; ++i)
            length = length << 8 | octets[position++];
    }
    if (position + length > octets.size())
        return false;
    tlv.Contents.assign(octets.begin() + long(position), octets.begin() + long(position + length));
    position += length;
    return true;
}

std::vector<uint8_t> Tlv(uint8_t tag, const std::vector<uint8_t>& contents)
{
    std::vector<uint8_t> tlv = {tag, uint8_t(contents.size())};
    tlv.insert(tlv.end(), contents.begin(), contents.end());
    return tlv;
}

std::vector<uint8_t> Digits(const std::string& number)
{
    return Tlv(0x80, std::vector<uint8_t>(number.begin(), number.end()));
}

// The argument of a diversion invoke: procedure, basic service, optionally
// the forwarded-to address, and the served user number.
struct TDiversionArgument {
    uint8_t Procedure = 0;
    uint8_t BasicService = 0;
    std::string ForwardedTo;
    std::string Served;
};

bool ParseDiversionArgument(const std::vector<uint8_t>& argument, bool withAddress, TDiversionArgument& parsed)
{
    size_t position = 0;
    TTlv sequence;
    if (!NextTlv(argument, position, sequence) || sequence.Tag != 0x30)
        return false;
    position = 0;
    TTlv procedure, basicService, served;
    if (!NextTlv(sequence.Contents, position, procedure) || procedure.Contents.size() != 1
        || !NextTlv(sequence.Contents, position, basicService) || basicService.Contents.size() != 1)
        return false;
    parsed.Procedure = procedure.Contents[0];
    parsed.BasicService = basicService.Contents[0];
    if (withAddress) {
        TTlv address, number;
        size_t inner = 0;
        if (!NextTlv(sequence.Contents, position, address) || address.Tag != 0x30
            || !NextTlv(address.Contents, inner, number) || number.Tag != 0x80 || number.Contents.empty())
            return false;
        parsed.ForwardedTo.assign(number.Contents.begin(), number.Contents.end());
    }
    if (!NextTlv(sequence.Contents, position, served) || served.Tag != 0x80)
        return false;
    parsed.Served.assign(served.Contents.begin(), served.Contents.end());
    return true;
}

// returnResult for an invoke: SEQUENCE { operation value, result }.
std::vector<uint8_t> ReturnResult(uint8_t invokeId, uint8_t operation, const std::vector<uint8_t>& result)
{
    std::vector<uint8_t> sequence = {0x02, 0x01, operation};
    sequence.insert(sequence.end(), result.begin(), result.end());
    std::vector<uint8_t> component = {0x02, 0x01, invokeId};
    const std::vector<uint8_t> wrapped = Tlv(0x30, sequence);
    component.insert(component.end(), wrapped.begin(), wrapped.end());
    std::vector<uint8_t> element = {0x91};
    const std::vector<uint8_t> returnResult = Tlv(0xA2, component);
    element.insert(element.end(), returnResult.begin(), returnResult.end());
    return element;
}

// returnError "user not subscribed" (error value 0): it names no
// operation, so the requester matches it by its invoke identifier.
std::vector<uint8_t> ReturnError(uint8_t invokeId)
{
    return {0x91, 0xA3, 0x06, 0x02, 0x01, invokeId, 0x02, 0x01, 0x00};
}

// Appends entries while the list keeps every length in the short form.
std::vector<uint8_t> ResultList(const std::vector<std::vector<uint8_t>>& entries, size_t room)
{
    std::vector<uint8_t> list;
    for (const std::vector<uint8_t>& entry : entries) {
        if (list.size() + entry.size() > room)
            break;
        list.insert(list.end(), entry.begin(), entry.end());
    }
    return Tlv(0x31, list);
}

} // namespace

TLiveSupplementary& TLiveSupplementary::Instance()
{
    static TLiveSupplementary instance;
    return instance;
}

TLiveSupplementary::TLiveSupplementary()
{
    Configure();
}

void TLiveSupplementary::Configure()
{
    uint32_t services = kAllServices;
    if (const char* text = std::getenv("VESSIK_SIM_SERVICES"); text != nullptr && *text != 0)
        services = uint32_t(std::strtoul(text, nullptr, 16));
    std::string file;
    if (const char* path = std::getenv("VESSIK_SIM_FORWARDING"); path != nullptr && *path != 0) {
        file = path;
    } else {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        file = std::string(runtime != nullptr && *runtime != 0 ? runtime : "/tmp") + "/vessik-sim-forwarding-"
               + std::to_string(getuid());
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_services = services;
    m_storeFile = file;
}

void TLiveSupplementary::Reset()
{
    Configure();
    std::lock_guard<std::mutex> guard(m_lock);
    m_forwardings.clear();
    // Only a store the environment names is emptied: a reset by some test
    // must not wipe the forwarding a user set in the per-user store.
    if (const char* path = std::getenv("VESSIK_SIM_FORWARDING"); path != nullptr && *path != 0)
        std::remove(m_storeFile.c_str());
}

// One forwarding per line: procedure, basic service, served and forwarded-to
// number, separated by tabs. Lines that do not read so are skipped.
void TLiveSupplementary::LoadLocked()
{
    m_forwardings.clear();
    std::ifstream in(m_storeFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TForwarding forwarding;
        std::string procedure, basicService;
        if (std::getline(fields, procedure, '\t') && std::getline(fields, basicService, '\t')
            && std::getline(fields, forwarding.Served, '\t') && std::getline(fields, forwarding.ForwardedTo)) {
            forwarding.Procedure = uint16_t(std::strtoul(procedure.c_str(), nullptr, 10));
            forwarding.BasicService = uint16_t(std::strtoul(basicService.c_str(), nullptr, 10));
            m_forwardings.push_back(forwarding);
        }
    }
}

void TLiveSupplementary::SaveLocked()
{
    std::ofstream out(m_storeFile, std::ios::trunc);
    for (const TForwarding& f : m_forwardings)
        out << f.Procedure << '\t' << f.BasicService << '\t' << f.Served << '\t' << f.ForwardedTo << '\n';
}

void TLiveSupplementary::SetServices(uint32_t mask)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_services = mask;
}

uint32_t TLiveSupplementary::Services()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_services;
}

std::vector<TLiveSupplementary::TForwarding> TLiveSupplementary::Forwardings()
{
    std::lock_guard<std::mutex> guard(m_lock);
    LoadLocked();
    return m_forwardings;
}

bool TLiveSupplementary::Request(uint32_t applId, const uint8_t* message, uint32_t length)
{
    if (length < 8 || message[5] != kRequest)
        return false;
    if (message[4] == kFacility)
        return Facility(applId, message, length);
    if (message[4] == kInfo)
        return InfoFacility(applId, message, length);
    return false;
}

bool TLiveSupplementary::Facility(uint32_t applId, const uint8_t* message, uint32_t length)
{
    const uint16_t number = uint16_t(message[6] | message[7] << 8);
    TCursor cursor{message + 8, length - 8, 0, false};
    const uint32_t address = cursor.Dword();
    if (cursor.Word() != kSupplementaryServices)
        return false;
    TCursor request = cursor.Struct();
    const uint16_t function = request.Word();
    TCursor parameter = request.Struct();

    std::unique_lock<std::mutex> guard(m_lock);
    LoadLocked();
    const int bit = ServiceBit(function);
    const bool offered = function <= kListen || (bit >= 0 && (m_services >> bit & 1));
    if (!offered || cursor.Bad) {
        guard.unlock();
        Confirm(applId, number, address, function, TBytes().Word(kNotSupported));
        return true;
    }
    if (function == kGetSupportedServices) {
        const uint32_t services = m_services;
        guard.unlock();
        Confirm(applId, number, address, function, TBytes().Word(0).Dword(services));
        return true;
    }

    // Call forwarding: the answer carries what is set after the request.
    TBytes result;
    if (function >= kCfActivate && function <= kCfInterrogateNumbers) {
        const uint32_t handle = parameter.Dword();
        result.Word(0).Dword(handle);
        if (function != kCfInterrogateNumbers) {
            const uint16_t procedure = parameter.Word();
            const uint16_t basicService = parameter.Word();
            const std::string served = FacilityPartyNumber(parameter.Struct());
            const auto same = [&](const TForwarding& f) {
                return f.Procedure == procedure && f.BasicService == basicService && f.Served == served;
            };
            if (function == kCfActivate) {
                const std::string forwardedTo = FacilityPartyNumber(parameter.Struct());
                std::erase_if(m_forwardings, same);
                m_forwardings.push_back({procedure, basicService, served, forwardedTo});
                SaveLocked();
                result.Word(procedure).Word(basicService).PartyNumber(served).PartyNumber(forwardedTo).Struct({});
            } else if (function == kCfDeactivate) {
                std::erase_if(m_forwardings, same);
                SaveLocked();
                result.Word(procedure).Word(basicService).PartyNumber(served);
            } else {
                TBytes list;
                for (const TForwarding& f : m_forwardings) {
                    if (f.Procedure != procedure || (!served.empty() && f.Served != served))
                        continue;
                    TBytes instance;
                    instance.Word(f.Procedure).Word(f.BasicService).PartyNumber(f.Served).PartyNumber(f.ForwardedTo)
                        .Struct({});
                    if (list.size() + instance.size() + 1 > 255 - 8)
                        break;
                    list.Struct(instance);
                }
                result.Struct(list);
            }
        } else {
            TBytes list;
            std::vector<std::string> listed;
            for (const TForwarding& f : m_forwardings) {
                if (std::find(listed.begin(), listed.end(), f.ForwardedTo) != listed.end()
                    || list.size() + f.ForwardedTo.size() + 4 > 255 - 8)
                    continue;
                listed.push_back(f.ForwardedTo);
                list.PartyNumber(f.ForwardedTo);
            }
            result.Struct(list);
        }
    } else {
        result.Word(0);
    }
    guard.unlock();

    Confirm(applId, number, address, function, TBytes().Word(0));
    if (function == kHold || function == kRetrieve || function == kEct
        || (function >= kCfActivate && function <= kCfInterrogateNumbers))
        Indicate(applId, address, function, result);
    return true;
}

bool TLiveSupplementary::InfoFacility(uint32_t applId, const uint8_t* message, uint32_t length)
{
    const uint16_t number = uint16_t(message[6] | message[7] << 8);
    TCursor cursor{message + 8, length - 8, 0, false};
    const uint32_t address = cursor.Dword();
    cursor.Struct(); // called party number
    TCursor additional = cursor.Struct();
    additional.Struct(); // B channel information
    additional.Struct(); // keypad facility
    additional.Struct(); // user-user data
    TCursor facility = additional.Struct();
    if (cursor.Bad || additional.Bad || facility.Size < 2 || facility.Data[0] != kFacilityElement)
        return false;
    const std::vector<uint8_t> element(facility.Data + 2, facility.Data + facility.Size);

    // 91, then one invoke { invoke id, local operation, argument }.
    std::vector<uint8_t> answer;
    size_t position = 1;
    TTlv invoke, id, operation;
    size_t inner = 0;
    const bool wellFormed = element.size() > 1 && element[0] == 0x91 && NextTlv(element, position, invoke)
                            && invoke.Tag == 0xA1 && NextTlv(invoke.Contents, inner, id) && id.Tag == 0x02
                            && id.Contents.size() == 1 && NextTlv(invoke.Contents, inner, operation)
                            && operation.Tag == 0x02 && operation.Contents.size() == 1;
    if (!wellFormed)
        return false; // not a diversion invoke of ours: leave it to the rest of the network
    const uint8_t invokeId = id.Contents[0];
    const uint8_t op = operation.Contents[0];
    const std::vector<uint8_t> argument(invoke.Contents.begin() + long(inner), invoke.Contents.end());

    {
        std::lock_guard<std::mutex> guard(m_lock);
        LoadLocked();
        TDiversionArgument parsed;
        switch (op) {
        case kActivationDiversion:
            if (ParseDiversionArgument(argument, true, parsed) && !parsed.Served.empty()) {
                std::erase_if(m_forwardings, [&](const TForwarding& f) {
                    return f.Procedure == parsed.Procedure && f.BasicService == parsed.BasicService
                           && f.Served == parsed.Served;
                });
                m_forwardings.push_back({parsed.Procedure, parsed.BasicService, parsed.Served, parsed.ForwardedTo});
                SaveLocked();
                answer = ReturnResult(invokeId, op, {});
            }
            break;
        case kDeactivationDiversion:
            if (ParseDiversionArgument(argument, false, parsed) && !parsed.Served.empty()) {
                std::erase_if(m_forwardings, [&](const TForwarding& f) {
                    return f.Procedure == parsed.Procedure && f.BasicService == parsed.BasicService
                           && f.Served == parsed.Served;
                });
                SaveLocked();
                answer = ReturnResult(invokeId, op, {});
            }
            break;
        case kInterrogationDiversion:
            if (ParseDiversionArgument(argument, false, parsed)) {
                std::vector<std::vector<uint8_t>> entries;
                for (const TForwarding& f : m_forwardings) {
                    if (f.Procedure != parsed.Procedure || (!parsed.Served.empty() && f.Served != parsed.Served))
                        continue;
                    std::vector<uint8_t> entry = Digits(f.Served);
                    for (uint8_t octet : {uint8_t(0x0A), uint8_t(0x01), uint8_t(f.BasicService), uint8_t(0x0A),
                                          uint8_t(0x01), uint8_t(f.Procedure)})
                        entry.push_back(octet);
                    const std::vector<uint8_t> forwardedTo = Tlv(0x30, Digits(f.ForwardedTo));
                    entry.insert(entry.end(), forwardedTo.begin(), forwardedTo.end());
                    entries.push_back(Tlv(0x30, entry));
                }
                answer = ReturnResult(invokeId, op, ResultList(entries, kMaxShortLength - 12));
            }
            break;
        case kInterrogateServedNumbers:
            if (argument.empty()) {
                std::vector<std::vector<uint8_t>> entries;
                std::vector<std::string> listed;
                for (const TForwarding& f : m_forwardings) {
                    if (std::find(listed.begin(), listed.end(), f.ForwardedTo) != listed.end())
                        continue;
                    listed.push_back(f.ForwardedTo);
                    entries.push_back(Digits(f.ForwardedTo));
                }
                answer = ReturnResult(invokeId, op, ResultList(entries, kMaxShortLength - 12));
            }
            break;
        default:
            break;
        }
    }
    if (answer.empty())
        answer = ReturnError(invokeId);

    TMessage(kInfo, kConfirmation, number).Dword(address).Word(0).Send(applId);
    TMessage(kInfo, kIndication, g_messageNumber++).Dword(address).Word(kFacilityElement).Struct(answer).Send(applId);
    return true;
}

} // namespace vsim
