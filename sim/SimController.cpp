#include "SimController.h"

#include "MessageCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace vsim {

namespace {
// The default card: one controller, two B-channels, supplementary services.
constexpr char kDefaultManufacturer[] = "AVM (Vessik simulated controller)";
constexpr char kDefaultSerial[] = "0000001";
constexpr uint32_t kDefaultVersion[4] = {2, 0, 0x03, 0x01};
constexpr uint32_t kDefaultGlobalOptions = 0x00000019; // internal, DTMF, supplementary services

void PutDword(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + size_t(i)] = uint8_t(value >> (8 * i));
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}
} // namespace

void TReceiveQueue::Push(const uint8_t* message, uint32_t length, uint32_t applId, uint32_t size)
{
    if (m_count == m_slots.size()) {
        // Grow: unroll the ring into a larger one; the slot buffers move along.
        std::vector<std::vector<uint8_t>> grown(std::max<size_t>(16, m_slots.size() * 2));
        for (size_t i = 0; i < m_count; ++i)
            grown[i].swap(m_slots[(m_head + i) % m_slots.size()]);
        m_slots.swap(grown);
        m_head = 0;
    }
    std::vector<uint8_t>& slot = m_slots[(m_head + m_count) % m_slots.size()];
    slot.assign(message, message + length);
    if (size > length)
        slot.resize(size, 0);
    // The card addresses the message to the application it delivers to.
    slot[2] = uint8_t(applId);
    slot[3] = uint8_t(applId >> 8);
    ++m_count;
}

bool TReceiveQueue::Pop(std::vector<uint8_t>& current)
{
    if (m_count == 0)
        return false;
    current.swap(m_slots[m_head]);
    m_head = (m_head + 1) % m_slots.size();
    --m_count;
    return true;
}

TSimController& TSimController::Instance()
{
    static TSimController controller;
    return controller;
}

TSimController::TSimController()
{
    ResetLocked();
}

void TSimController::Reset()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ResetLocked();
    }
    m_signal.notify_all();
}

void TSimController::ResetLocked()
{
    m_applications.clear();
    m_nextApplId = 1;
    m_newest = 0;
    std::fill(std::begin(m_registerParameters), std::end(m_registerParameters), 0u);
    m_puts.clear();
    m_violations = 0;
    m_putLogLimit = 100000;
    m_fetched = 0;
    m_discarded = 0;
    std::fill(std::begin(m_forcedResult), std::end(m_forcedResult), 0u);
    std::fill(std::begin(m_throw), std::end(m_throw), false);
    std::fill(std::begin(m_calls), std::end(m_calls), 0u);
    m_manufacturer = kDefaultManufacturer;
    m_serial = kDefaultSerial;
    m_fatal.clear();
    std::copy(std::begin(kDefaultVersion), std::end(kDefaultVersion), m_version);
    m_profiles.clear();
    std::vector<uint8_t> count(64, 0);
    count[0] = 1;
    m_profiles[0] = count;
    std::vector<uint8_t> controller(64, 0);
    controller[0] = 1;
    controller[2] = 2; // B-channels
    PutDword(controller, 4, kDefaultGlobalOptions);
    PutDword(controller, 8, 0x00000003);  // B1: HDLC, bit-transparent
    PutDword(controller, 12, 0x00000003); // B2: X.75, transparent
    PutDword(controller, 16, 0x00000001); // B3: transparent
    m_profiles[1] = controller;
    m_scripted = Environment("VESSIK_SIM_SCRIPTED") == "1";
    m_putLogFile = Environment("VESSIK_SIM_PUTLOG");
}

TSimController::TApplication* TSimController::FindLocked(uint32_t applId)
{
    const auto it = m_applications.find(applId);
    return it == m_applications.end() ? nullptr : it->second.get();
}

uint32_t TSimController::Steered(int function)
{
    if (function < 0 || function >= kFunctions)
        return 0;
    bool fault = false;
    uint32_t result = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_calls[function];
        fault = m_throw[function];
        result = m_forcedResult[function];
    }
    if (fault)
        throw std::runtime_error("simulated driver fault");
    return result;
}

uint32_t TSimController::Register(uint32_t bufferSize, uint32_t maxLogicalConnection,
                                  uint32_t maxBDataBlocks, uint32_t maxBDataLen, uint32_t* applId)
{
    if (applId == nullptr)
        return kRegisterOsResourceError;
    uint32_t id = 0;
    TRegisterHandler handler = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_registerParameters[0] = bufferSize;
        m_registerParameters[1] = maxLogicalConnection;
        m_registerParameters[2] = maxBDataBlocks;
        m_registerParameters[3] = maxBDataLen;
        id = m_nextApplId;
        m_nextApplId = m_nextApplId >= 0xFFFF ? 1 : m_nextApplId + 1;
        m_applications[id] = std::make_unique<TApplication>();
        m_newest = id;
        *applId = id;
        handler = m_registerHandler;
    }
    if (handler != nullptr)
        handler(id);
    return kNoError;
}

uint32_t TSimController::Release(uint32_t applId)
{
    TReleaseHandler handler = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        TApplication* application = FindLocked(applId);
        if (application == nullptr)
            return kIllegalApplId;
        m_discarded += application->Queue.Count();
        m_applications.erase(applId);
        if (m_newest == applId)
            m_newest = m_applications.empty() ? 0 : m_applications.rbegin()->first;
        handler = m_releaseHandler;
    }
    m_signal.notify_all(); // a pending WAIT_FOR_SIGNAL returns 0x1101
    if (handler != nullptr)
        handler(applId);
    return kNoError;
}

uint32_t TSimController::PutMessage(uint32_t applId, const uint8_t* message)
{
    TManufacturerRequestHandler handler = nullptr;
    TRequestHandler requestHandler = nullptr;
    uint32_t length = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (FindLocked(applId) == nullptr)
            return kIllegalApplId;
        if (message != nullptr) {
            // Whatever its content, a message with a readable Length is logged
            // whole: the log shows what the application put, faults included.
            const uint32_t claimed = uint32_t(message[0] | (message[1] << 8));
            if (claimed >= kMinMessageLength && claimed <= kMaxMessageLength)
                AppendPutLogLocked(message, claimed);
        }
        if (!IsValidPut(applId, message)) {
            ++m_violations;
            return kIllegalCommand;
        }
        length = uint32_t(message[0] | (message[1] << 8));
        if (m_puts.size() < m_putLogLimit)
            m_puts.emplace_back(message, message + length);
        if (message[4] == 0xFF && (message[5] == 0x80 || message[5] == 0x83))
            handler = m_manufacturerHandler;
        else if (!m_scripted)
            requestHandler = m_requestHandler;
    }
    if (handler != nullptr)
        handler(applId, message, length);
    if (requestHandler != nullptr)
        requestHandler(applId, message, length);
    return kNoError;
}

void TSimController::AppendPutLogLocked(const uint8_t* message, uint32_t length)
{
    if (m_putLogFile.empty())
        return;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(size_t(length) * 3);
    for (uint32_t i = 0; i < length; ++i) {
        if (i > 0)
            line.push_back(' ');
        line.push_back(kDigits[message[i] >> 4]);
        line.push_back(kDigits[message[i] & 15]);
    }
    line.push_back('\n');
    // Opened per message: the file is complete whenever a reader looks, and a
    // crash of the host loses nothing.
    FILE* file = std::fopen(m_putLogFile.c_str(), "ab");
    if (file == nullptr)
        return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

uint32_t TSimController::GetMessage(uint32_t applId, void** message)
{
    if (message == nullptr)
        return kIllegalCommand;
    std::lock_guard<std::mutex> guard(m_lock);
    TApplication* application = FindLocked(applId);
    if (application == nullptr)
        return kIllegalApplId;
    if (!application->Queue.Pop(application->Current))
        return kQueueEmpty;
    *message = application->Current.data();
    ++m_fetched;
    return kNoError;
}

uint32_t TSimController::WaitForSignal(uint32_t applId)
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        TApplication* application = FindLocked(applId);
        if (application == nullptr)
            return kIllegalApplId;
        if (application->Queue.Count() > 0)
            return kNoError;
        m_signal.wait(guard);
    }
}

uint32_t TSimController::DeliverLocked(uint32_t applId, const uint8_t* message, uint32_t length, uint32_t size)
{
    const uint32_t target = applId == 0 ? m_newest : applId;
    TApplication* application = FindLocked(target);
    if (application == nullptr)
        return kIllegalApplId;
    application->Queue.Push(message, length, target, size);
    return kNoError;
}

uint32_t TSimController::Deliver(uint32_t applId, const uint8_t* message, uint32_t length)
{
    if (message == nullptr || length < kMinMessageLength || length > 0xFFFF
        || uint32_t(message[0] | (message[1] << 8)) != length)
        return kIllegalCommand;
    uint32_t result = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        result = DeliverLocked(applId, message, length, length);
    }
    if (result == kNoError)
        m_signal.notify_all();
    return result;
}

uint32_t TSimController::DeliverAsItStands(uint32_t applId, const uint8_t* message, uint32_t length)
{
    if (message == nullptr || length < kMinMessageLength || length > 0xFFFF)
        return kIllegalCommand;
    uint32_t result = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const uint32_t claimed = uint32_t(message[0] | (message[1] << 8));
        result = DeliverLocked(applId, message, length, claimed);
    }
    if (result == kNoError)
        m_signal.notify_all();
    return result;
}

void TSimController::GetManufacturer(char* buffer64)
{
    if (buffer64 == nullptr)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    const size_t count = std::min<size_t>(m_manufacturer.size(), 63);
    std::memcpy(buffer64, m_manufacturer.data(), count);
    buffer64[count] = 0;
}

void TSimController::GetVersion(uint32_t* capiMajor, uint32_t* capiMinor, uint32_t* manuMajor,
                                uint32_t* manuMinor)
{
    std::lock_guard<std::mutex> guard(m_lock);
    uint32_t* targets[4] = {capiMajor, capiMinor, manuMajor, manuMinor};
    for (int i = 0; i < 4; ++i)
        if (targets[i] != nullptr)
            *targets[i] = m_version[i];
}

void TSimController::GetSerialNumber(char* buffer8)
{
    if (buffer8 == nullptr)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    const size_t count = std::min<size_t>(m_serial.size(), 7);
    std::memcpy(buffer8, m_serial.data(), count);
    buffer8[count] = 0;
}

uint32_t TSimController::GetProfile(void* buffer64, uint32_t controller)
{
    if (buffer64 == nullptr)
        return kIllegalCommand;
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_profiles.find(controller);
    if (it == m_profiles.end())
        return 0x2002; // illegal controller
    std::memcpy(buffer64, it->second.data(), 64);
    return kNoError;
}

const char* TSimController::FatalText()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_fatal.c_str();
}

void TSimController::SetManufacturerRequestHandler(TManufacturerRequestHandler handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_manufacturerHandler = handler;
}

void TSimController::SetReleaseHandler(TReleaseHandler handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_releaseHandler = handler;
}

void TSimController::SetRegisterHandler(TRegisterHandler handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_registerHandler = handler;
}

void TSimController::SetRequestHandler(TRequestHandler handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_requestHandler = handler;
}

bool TSimController::Scripted()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_scripted;
}

void TSimController::SetScripted(bool scripted)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_scripted = scripted;
}

void TSimController::SetPutLogFile(const std::string& path)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_putLogFile = path;
}

void TSimController::SetResult(int function, uint32_t result)
{
    if (function < 0 || function >= kFunctions)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_forcedResult[function] = result;
}

void TSimController::SetThrow(int function, bool enabled)
{
    if (function < 0 || function >= kFunctions)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_throw[function] = enabled;
}

uint32_t TSimController::CallCount(int function)
{
    if (function < 0 || function >= kFunctions)
        return 0;
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls[function];
}

void TSimController::SetPutLogLimit(uint32_t limit)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_putLogLimit = limit;
}

uint32_t TSimController::PutCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return uint32_t(m_puts.size());
}

uint32_t TSimController::CopyPut(uint32_t index, void* buffer, uint32_t capacity)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (index >= m_puts.size())
        return 0;
    const std::vector<uint8_t>& put = m_puts[index];
    if (buffer != nullptr)
        std::memcpy(buffer, put.data(), std::min<size_t>(capacity, put.size()));
    return uint32_t(put.size());
}

uint32_t TSimController::ViolationCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_violations;
}

void TSimController::SetManufacturer(const char* text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_manufacturer = text == nullptr ? "" : text;
}

void TSimController::SetSerialNumber(const char* text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_serial = text == nullptr ? "" : text;
}

void TSimController::SetFatalText(const char* text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_fatal = text == nullptr ? "" : text;
}

void TSimController::SetVersion(uint32_t capiMajor, uint32_t capiMinor, uint32_t manuMajor,
                                uint32_t manuMinor)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_version[0] = capiMajor;
    m_version[1] = capiMinor;
    m_version[2] = manuMajor;
    m_version[3] = manuMinor;
}

void TSimController::SetProfile(uint32_t controller, const void* profile64)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (profile64 == nullptr) {
        m_profiles.erase(controller);
        return;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(profile64);
    m_profiles[controller].assign(bytes, bytes + 64);
}

uint32_t TSimController::ApplicationCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return uint32_t(m_applications.size());
}

bool TSimController::IsRegistered(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return FindLocked(applId) != nullptr;
}

uint32_t TSimController::QueuedCount(uint32_t applId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    TApplication* application = FindLocked(applId == 0 ? m_newest : applId);
    return application == nullptr ? 0 : uint32_t(application->Queue.Count());
}

uint64_t TSimController::FetchedCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_fetched;
}

uint64_t TSimController::DiscardedCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_discarded;
}

uint32_t TSimController::NewestApplication()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_newest;
}

void TSimController::RegisterParameters(uint32_t* bufferSize, uint32_t* maxLogicalConnection,
                                        uint32_t* maxBDataBlocks, uint32_t* maxBDataLen)
{
    std::lock_guard<std::mutex> guard(m_lock);
    uint32_t* targets[4] = {bufferSize, maxLogicalConnection, maxBDataBlocks, maxBDataLen};
    for (int i = 0; i < 4; ++i)
        if (targets[i] != nullptr)
            *targets[i] = m_registerParameters[i];
}

} // namespace vsim
