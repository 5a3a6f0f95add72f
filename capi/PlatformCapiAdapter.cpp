#include "PlatformCapiAdapter.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace {

constexpr uint32_t kQueueEmpty = 0x1104;
constexpr uint32_t kIllegalMessage = 0x1108;
// A remote controller whose connection has ended is no longer installed.
constexpr uint32_t kNotInstalled = 0x1109;
// The platform's wait takes a time-out; waiting in short slices lets a wait
// end with 0x1101 once another thread has released the application.
constexpr long kWaitSliceMicroseconds = 100000;

using TRegister = unsigned (*)(unsigned, unsigned, unsigned, unsigned*);
using TRelease = unsigned (*)(unsigned);
using TPutMessage = unsigned (*)(unsigned, unsigned char*);
using TGetMessage = unsigned (*)(unsigned, unsigned char**);
using TWaitForMessage = unsigned (*)(unsigned, struct timeval*);
using TGetText = unsigned char* (*)(unsigned, unsigned char*);
using TGetProfile = unsigned (*)(unsigned, unsigned char*);
using TIsInstalled = unsigned (*)();
using TFileNumber = int (*)(unsigned);

// One platform library per process: the loader hands out the same functions
// to every component that binds it.
struct TPlatformFunctions {
    std::atomic<TRegister> Register{nullptr};
    std::atomic<TRelease> Release{nullptr};
    std::atomic<TPutMessage> PutMessage{nullptr};
    std::atomic<TGetMessage> GetMessage{nullptr};
    std::atomic<TWaitForMessage> WaitForMessage{nullptr};
    std::atomic<TGetText> GetManufacturer{nullptr};
    std::atomic<TGetText> GetVersion{nullptr};
    std::atomic<TGetText> GetSerialNumber{nullptr};
    std::atomic<TGetProfile> GetProfile{nullptr};
    std::atomic<TIsInstalled> IsInstalled{nullptr};
    std::atomic<TFileNumber> FileNumber{nullptr}; // optional
};

TPlatformFunctions& Platform()
{
    static TPlatformFunctions functions;
    return functions;
}

// A remote controller's connection carries many small messages each way;
// held back until the peer acknowledges the one before (Nagle), every answer
// to an indication would wait for the peer's delayed acknowledgement.
void SendAtOnce(unsigned applId)
{
    const TFileNumber fileNumber = Platform().FileNumber.load();
    const int descriptor = fileNumber == nullptr ? -1 : fileNumber(applId);
    if (descriptor < 0)
        return;
    const int yes = 1;
    // A local controller's descriptor is no TCP socket: the call fails, harmlessly.
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

uint32_t AdapterRegister(uint32_t /*messageBufferSize*/, uint32_t maxLogicalConnection,
                         uint32_t maxBDataBlocks, uint32_t maxBDataLen, uint32_t* applId)
{
    unsigned id = 0;
    const unsigned result = Platform().Register.load()(maxLogicalConnection, maxBDataBlocks, maxBDataLen, &id);
    if (result == 0)
        SendAtOnce(id);
    if (applId != nullptr)
        *applId = result == 0 ? id : 0;
    return result;
}

uint32_t AdapterRelease(uint32_t applId)
{
    return Platform().Release.load()(applId);
}

bool CarriesItsDataPointer(const uint8_t* message)
{
    constexpr uint8_t kDataB3 = 0x86;
    constexpr uint8_t kRequest = 0x80;
    constexpr uint16_t kLengthWith64BitData = 30;
    return message == nullptr || message[4] != kDataB3 || message[5] != kRequest
        || uint16_t(message[0] | message[1] << 8) >= kLengthWith64BitData;
}

// True when the application's descriptor is a connection to a remote
// controller that has closed it. The library then reports an empty queue for
// ever and writes into the void, so the adapter says so itself.
bool RemoteConnectionEnded(uint32_t applId)
{
    const TFileNumber fileNumber = Platform().FileNumber.load();
    if (fileNumber == nullptr)
        return false;
    const int descriptor = fileNumber(applId);
    if (descriptor < 0)
        return false;
    char octet = 0;
    // A local controller's descriptor is no socket: ENOTSOCK, not ended.
    return ::recv(descriptor, &octet, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

uint32_t AdapterPutMessage(uint32_t applId, void* message)
{
    // On this 64-bit host the library takes DATA_B3_REQ's data from the
    // 64-bit pointer behind Flags (Length 30); a shorter request would make
    // it read the data from behind the message.
    if (!CarriesItsDataPointer(static_cast<const uint8_t*>(message)))
        return kIllegalMessage;
    if (RemoteConnectionEnded(applId))
        return kNotInstalled;
    // Writing to a remote controller that has just gone raises SIGPIPE, which
    // would end the host process: keep it to this call and drop it.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    const unsigned result = Platform().PutMessage.load()(applId, static_cast<unsigned char*>(message));
    sigset_t pending;
    sigpending(&pending);
    if (!sigismember(&previous, SIGPIPE) && sigismember(&pending, SIGPIPE)) {
        const timespec none = {0, 0};
        const int saved = errno;
        sigtimedwait(&pipe, nullptr, &none);
        errno = saved;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result;
}

uint32_t AdapterGetMessage(uint32_t applId, void** message)
{
    // A remote controller's get reads the connection and blocks while nothing
    // has arrived; the standard's get returns at once when the queue is empty.
    struct timeval now = {0, 0};
    if (const unsigned waiting = Platform().WaitForMessage.load()(applId, &now); waiting != 0)
        return waiting;
    unsigned char* bytes = nullptr;
    const unsigned result = Platform().GetMessage.load()(applId, &bytes);
    if (result == kQueueEmpty && RemoteConnectionEnded(applId))
        return kNotInstalled;
    if (message != nullptr)
        *message = bytes;
    return result;
}

uint32_t AdapterWaitForSignal(uint32_t applId)
{
    for (;;) {
        struct timeval slice = {0, kWaitSliceMicroseconds};
        const unsigned result = Platform().WaitForMessage.load()(applId, &slice);
        if (result != kQueueEmpty)
            return result;
    }
}

uint32_t AdapterGetManufacturer(char* buffer)
{
    // The platform fills at most 64 bytes for controller 0 (the driver).
    Platform().GetManufacturer.load()(0, reinterpret_cast<unsigned char*>(buffer));
    return 0;
}

uint32_t AdapterGetVersion(uint32_t* capiMajor, uint32_t* capiMinor, uint32_t* manufacturerMajor,
                           uint32_t* manufacturerMinor)
{
    // Four native 32-bit values: CAPI major, minor, manufacturer major, minor.
    uint32_t version[4] = {};
    if (Platform().GetVersion.load()(0, reinterpret_cast<unsigned char*>(version)) == nullptr)
        return 0x1109;
    uint32_t* targets[4] = {capiMajor, capiMinor, manufacturerMajor, manufacturerMinor};
    for (int i = 0; i < 4; ++i)
        if (targets[i] != nullptr)
            *targets[i] = version[i];
    return 0;
}

uint32_t AdapterGetSerialNumber(char* buffer)
{
    Platform().GetSerialNumber.load()(0, reinterpret_cast<unsigned char*>(buffer));
    return 0;
}

uint32_t AdapterGetProfile(void* buffer, uint32_t controller)
{
    return Platform().GetProfile.load()(controller, static_cast<unsigned char*>(buffer));
}

uint32_t AdapterInstalled()
{
    return Platform().IsInstalled.load()();
}

template <typename Function>
bool Resolve(void* handle, const char* name, std::atomic<Function>& target)
{
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr)
        return false;
    target.store(reinterpret_cast<Function>(symbol));
    return true;
}

} // namespace

bool BindPlatformCapi(void* handle, TCapiEntryPoints& entry)
{
    TPlatformFunctions& platform = Platform();
    // Resolve every export, so a missing one is found whatever its place.
    bool complete = true;
    complete = Resolve(handle, "capi20_register", platform.Register) && complete;
    complete = Resolve(handle, "capi20_release", platform.Release) && complete;
    complete = Resolve(handle, "capi20_put_message", platform.PutMessage) && complete;
    complete = Resolve(handle, "capi20_get_message", platform.GetMessage) && complete;
    complete = Resolve(handle, "capi20_waitformessage", platform.WaitForMessage) && complete;
    complete = Resolve(handle, "capi20_get_manufacturer", platform.GetManufacturer) && complete;
    complete = Resolve(handle, "capi20_get_version", platform.GetVersion) && complete;
    complete = Resolve(handle, "capi20_get_serial_number", platform.GetSerialNumber) && complete;
    complete = Resolve(handle, "capi20_get_profile", platform.GetProfile) && complete;
    complete = Resolve(handle, "capi20_isinstalled", platform.IsInstalled) && complete;
    if (!complete)
        return false;
    platform.FileNumber.store(reinterpret_cast<TFileNumber>(dlsym(handle, "capi20_fileno")));
    entry.CAPI_REGISTER = AdapterRegister;
    entry.CAPI_RELEASE = AdapterRelease;
    entry.CAPI_PUT_MESSAGE = AdapterPutMessage;
    entry.CAPI_GET_MESSAGE = AdapterGetMessage;
    entry.CAPI_WAIT_FOR_SIGNAL = AdapterWaitForSignal;
    entry.CAPI_GET_MANUFACTURER = AdapterGetManufacturer;
    entry.CAPI_GET_VERSION = AdapterGetVersion;
    entry.CAPI_GET_SERIAL_NUMBER = AdapterGetSerialNumber;
    entry.CAPI_GET_PROFILE = AdapterGetProfile;
    entry.CAPI_INSTALLED = AdapterInstalled;
    return true;
}
