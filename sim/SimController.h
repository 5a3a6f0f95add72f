#pragma once
// The simulated card: one controller, its registered applications and their
// receive queues. Every member is thread-safe; the exported driver functions
// and the steering interface are thin layers over it.
//
// Extensions (such as a D-channel trace player) plug in through the hooks:
// they receive the MANUFACTURER requests and responses the application puts
// and hand received messages back with Deliver.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vsim {

constexpr uint32_t kNoError = 0;
constexpr uint32_t kIllegalApplId = 0x1101;
constexpr uint32_t kQueueEmpty = 0x1104;
constexpr uint32_t kIllegalCommand = 0x1108;
constexpr uint32_t kRegisterOsResourceError = 0x1008;
constexpr uint32_t kNotInstalled = 0x1009;

// Called outside the card's lock, on the thread that put the message.
using TManufacturerRequestHandler = void (*)(uint32_t applId, const uint8_t* message, uint32_t length);
// Called outside the lock when an application is released.
using TReleaseHandler = void (*)(uint32_t applId);
// Called outside the lock once an application has registered.
using TRegisterHandler = void (*)(uint32_t applId);
// Called outside the lock for every other message an application puts
// (requests and responses of call control, data and facilities).
using TRequestHandler = void (*)(uint32_t applId, const uint8_t* message, uint32_t length);

// Received messages of one application: a ring of buffers that are reused, so
// that a steady stream of messages does not allocate.
class TReceiveQueue {
public:
    // length >= 8: the ApplID field is overwritten with applId. The buffer
    // is zero-padded up to size octets, so that a reader trusting a Length
    // field larger than the message stays inside it.
    void Push(const uint8_t* message, uint32_t length, uint32_t applId, uint32_t size = 0);
    // Moves the oldest message into current (whose storage is reused).
    bool Pop(std::vector<uint8_t>& current);
    size_t Count() const { return m_count; }

private:
    std::vector<std::vector<uint8_t>> m_slots;
    size_t m_head = 0;
    size_t m_count = 0;
};

class TSimController {
public:
    static TSimController& Instance();

    void Reset();

    // Driver functions.
    uint32_t Register(uint32_t bufferSize, uint32_t maxLogicalConnection, uint32_t maxBDataBlocks,
                      uint32_t maxBDataLen, uint32_t* applId);
    uint32_t Release(uint32_t applId);
    uint32_t PutMessage(uint32_t applId, const uint8_t* message);
    uint32_t GetMessage(uint32_t applId, void** message);
    uint32_t WaitForSignal(uint32_t applId);
    void GetManufacturer(char* buffer64);
    void GetVersion(uint32_t* capiMajor, uint32_t* capiMinor, uint32_t* manuMajor, uint32_t* manuMinor);
    void GetSerialNumber(char* buffer8);
    uint32_t GetProfile(void* buffer64, uint32_t controller);
    const char* FatalText();

    // Thread-safe hand-over of one received message to an application
    // (0 = newest). The ApplID field is set to the application's id.
    uint32_t Deliver(uint32_t applId, const uint8_t* message, uint32_t length);
    // The same for a scripted message of at least 8 octets whose Length field
    // need not match: it is delivered as it stands.
    uint32_t DeliverAsItStands(uint32_t applId, const uint8_t* message, uint32_t length);

    void SetManufacturerRequestHandler(TManufacturerRequestHandler handler);
    void SetReleaseHandler(TReleaseHandler handler);
    void SetRegisterHandler(TRegisterHandler handler);
    void SetRequestHandler(TRequestHandler handler);

    // Scripted: the card sends nothing of its own, only what a scenario says
    // (VESSIK_SIM_SCRIPTED=1 at a reset or load).
    bool Scripted();
    void SetScripted(bool scripted);
    // The file every put message is appended to as a hex line; empty for
    // none (VESSIK_SIM_PUTLOG at a reset or load).
    void SetPutLogFile(const std::string& path);

    // Steering.
    uint32_t Steered(int function); // the forced result or 0; throws when asked
    void SetResult(int function, uint32_t result);
    void SetThrow(int function, bool enabled);
    uint32_t CallCount(int function);
    uint32_t PutCount();
    void SetPutLogLimit(uint32_t limit);
    uint32_t CopyPut(uint32_t index, void* buffer, uint32_t capacity);
    uint32_t ViolationCount();
    void SetManufacturer(const char* text);
    void SetSerialNumber(const char* text);
    void SetFatalText(const char* text);
    void SetVersion(uint32_t capiMajor, uint32_t capiMinor, uint32_t manuMajor, uint32_t manuMinor);
    void SetProfile(uint32_t controller, const void* profile64);
    uint32_t ApplicationCount();
    bool IsRegistered(uint32_t applId);
    uint32_t QueuedCount(uint32_t applId);
    uint32_t NewestApplication();
    uint64_t FetchedCount();
    uint64_t DiscardedCount();
    void RegisterParameters(uint32_t* bufferSize, uint32_t* maxLogicalConnection,
                            uint32_t* maxBDataBlocks, uint32_t* maxBDataLen);

private:
    struct TApplication {
        TReceiveQueue Queue;
        std::vector<uint8_t> Current; // valid until the next CAPI_GET_MESSAGE
    };
    static constexpr int kFunctions = 10;

    TSimController();
    void ResetLocked();
    TApplication* FindLocked(uint32_t applId);
    uint32_t DeliverLocked(uint32_t applId, const uint8_t* message, uint32_t length, uint32_t size);
    void AppendPutLogLocked(const uint8_t* message, uint32_t length);

    std::mutex m_lock;
    std::condition_variable m_signal;
    std::map<uint32_t, std::unique_ptr<TApplication>> m_applications;
    uint32_t m_nextApplId = 1;
    uint32_t m_newest = 0;
    uint32_t m_registerParameters[4] = {};
    std::vector<std::vector<uint8_t>> m_puts;
    uint32_t m_violations = 0;
    size_t m_putLogLimit = 100000;
    uint64_t m_fetched = 0;
    uint64_t m_discarded = 0;
    uint32_t m_forcedResult[kFunctions] = {};
    bool m_throw[kFunctions] = {};
    uint32_t m_calls[kFunctions] = {};
    std::string m_manufacturer;
    std::string m_serial;
    std::string m_fatal;
    uint32_t m_version[4] = {};
    std::map<uint32_t, std::vector<uint8_t>> m_profiles;
    TManufacturerRequestHandler m_manufacturerHandler = nullptr;
    TReleaseHandler m_releaseHandler = nullptr;
    TRegisterHandler m_registerHandler = nullptr;
    TRequestHandler m_requestHandler = nullptr;
    bool m_scripted = false;
    std::string m_putLogFile;
};

} // namespace vsim
