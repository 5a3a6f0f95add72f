#include "RemoteSession.h"

#include "RemoteControl.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace remote {

namespace {

constexpr uint8_t kDataB3 = 0x86;
constexpr uint8_t kRequest = 0x80;
constexpr uint8_t kConfirmation = 0x81;
constexpr uint8_t kIndication = 0x82;
// DATA_B3 with a 32-bit data pointer, and with the 64-bit pointer after Flags.
constexpr uint32_t kDataB3Length32 = 22;
constexpr uint32_t kDataB3Length64 = 30;
constexpr uint16_t kTooManyApplications = 0x1001;
constexpr uint16_t kDriverFault = 0x1108;
constexpr uint16_t kOsResourceError = 0x1008;
constexpr uint16_t kIllegalParameterCoding = 0x2007;
// Data blocks kept for the driver at most; a client that never sees its
// confirmations cannot make the server grow without bound.
constexpr size_t kMaxBlocksInFlight = 4096;

uint32_t Word(const uint8_t* bytes, size_t offset)
{
    return uint32_t(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t Dword(const uint8_t* bytes, size_t offset)
{
    return Word(bytes, offset) | Word(bytes, offset + 2) << 16;
}

void SetWord(uint8_t* bytes, size_t offset, uint32_t value)
{
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

} // namespace

TRemoteSession::TRemoteSession(int socket, const TCapiEntryPoints& driver, int number, std::string peer,
                               TLog log)
    : m_socket(socket), m_driver(driver), m_number(number), m_peer(std::move(peer)), m_log(std::move(log))
{
}

TRemoteSession::~TRemoteSession()
{
    Stop();
    if (m_reader.joinable())
        m_reader.join();
    ReleaseApplication();
    if (m_socket >= 0)
        ::close(m_socket);
}

void TRemoteSession::Start()
{
    m_log("session " + std::to_string(m_number) + " from " + m_peer + " started");
    m_reader = std::thread([this] { ReadLoop(); });
}

void TRemoteSession::Stop()
{
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}

void TRemoteSession::ReadLoop()
{
    std::string reason = "client closed the connection";
    uint8_t chunk[16384];
    std::vector<uint8_t> payload;
    auto stallStart = std::chrono::steady_clock::now();
    bool ended = false;
    while (!ended) {
        int timeout = -1;
        if (m_assembler.MidMessage()) {
            const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - stallStart);
            timeout = int(std::max<int64_t>(0, m_stallTimeoutMs - waited.count()));
        }
        pollfd descriptor = {m_socket, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            reason = "the client stalled in the middle of a message";
            break;
        }
        const ssize_t count = ready < 0 ? -1 : ::recv(m_socket, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (m_broken.load())
                reason = "the client stopped reading";
            break;
        }
        stallStart = std::chrono::steady_clock::now();
        // A client whose library holds back small writes until the last one
        // is acknowledged (Nagle) would otherwise wait for the delayed
        // acknowledgement after every answer; the flag does not stick.
        const int yes = 1;
        ::setsockopt(m_socket, IPPROTO_TCP, TCP_QUICKACK, &yes, sizeof yes);
        m_assembler.Feed(chunk, size_t(count));
        while (m_assembler.Next(payload)) {
            if (!HandlePayload(payload)) {
                reason = "malformed message";
                ended = true;
                break;
            }
        }
        if (m_assembler.Malformed()) {
            reason = "malformed framing";
            ended = true;
        }
    }
    const uint32_t applId = m_applId.load();
    ReleaseApplication();
    ::shutdown(m_socket, SHUT_RDWR);
    std::string line = "session " + std::to_string(m_number) + " ended: " + reason;
    if (applId != 0)
        line += ", application " + std::to_string(applId) + " released";
    m_log(line);
    m_finished.store(true);
}

bool TRemoteSession::HandlePayload(const std::vector<uint8_t>& payload)
{
    if (const std::optional<TControl> control = ControlOf(payload)) {
        if (*control == TControl::Register)
            Register(payload);
        else
            Send(AnswerQuery(payload, *control, m_driver));
        return true;
    }
    const uint32_t length = Word(payload.data(), 0);
    if (length < kCapiHeaderSize || length > payload.size() || length > kMaxCapiMessage)
        return false;
    const uint32_t applId = m_applId.load();
    if (applId == 0)
        return true; // nothing registered to put it for
    std::vector<uint8_t> message(payload.begin(), payload.begin() + length);
    SetWord(message.data(), 2, applId);
    if (message[4] == kDataB3 && message[5] == kRequest && length >= kDataB3Length32) {
        PutDataB3(message, payload.data() + length, uint32_t(payload.size() - length));
        return true;
    }
    // The driver keeps no pointer into a message once the put returns.
    m_driver.CAPI_PUT_MESSAGE(applId, message.data());
    return true;
}

// The client's data came inline; the driver reads it through the 64-bit
// pointer after Flags, from memory kept until the block's confirmation.
void TRemoteSession::PutDataB3(std::vector<uint8_t>& message, const uint8_t* data, uint32_t count)
{
    const uint32_t ncci = Dword(message.data(), 8);
    const uint16_t handle = uint16_t(Word(message.data(), 18));
    const uint32_t size = std::min(Word(message.data(), 16), count);
    const uint8_t* block = nullptr;
    uint16_t refusal = 0;
    {
        std::lock_guard<std::mutex> guard(m_blocksLock);
        // The driver may read a block until it confirms it: a block whose
        // handle is still in flight, or one too many, is refused here
        // rather than freeing memory the driver still holds.
        if (m_blocks.count({ncci, handle}) != 0) {
            refusal = kIllegalParameterCoding;
        } else if (m_blocks.size() >= kMaxBlocksInFlight) {
            refusal = kOsResourceError;
        } else {
            std::vector<uint8_t>& kept = m_blocks[{ncci, handle}];
            kept.assign(data, data + size);
            block = kept.data();
        }
    }
    if (refusal == 0) {
        message.resize(kDataB3Length64, 0);
        SetWord(message.data(), 0, kDataB3Length64);
        std::memset(message.data() + 12, 0, 4);
        SetWord(message.data(), 16, size);
        const uint64_t address = uint64_t(reinterpret_cast<uintptr_t>(block));
        std::memcpy(message.data() + kDataB3Length32, &address, sizeof address);
        const uint32_t info = m_driver.CAPI_PUT_MESSAGE(m_applId.load(), message.data());
        if (info == 0)
            return;
        // Not taken: no confirmation will free it, and the client hears of
        // it only through one.
        std::lock_guard<std::mutex> guard(m_blocksLock);
        m_blocks.erase({ncci, handle});
        refusal = uint16_t(info > 0xFFFF ? kDriverFault : info);
    }
    // DATA_B3_CONF: the request's header and NCCI, its handle, the info.
    std::vector<uint8_t> confirmation(message.begin(), message.begin() + 12);
    confirmation.resize(16);
    SetWord(confirmation.data(), 0, uint32_t(confirmation.size()));
    confirmation[5] = kConfirmation;
    SetWord(confirmation.data(), 12, handle);
    SetWord(confirmation.data(), 14, refusal);
    Send(confirmation);
}

void TRemoteSession::Register(const std::vector<uint8_t>& request)
{
    if (m_applId.load() != 0) {
        Send(RegisterConfirmation(request, kTooManyApplications));
        return;
    }
    const TRegisterParameters parameters = RegisterParametersOf(request);
    uint32_t applId = 0;
    const uint32_t info = m_driver.CAPI_REGISTER(parameters.BufferSize, parameters.MaxLogicalConnection,
                                                 parameters.MaxBDataBlocks, parameters.MaxBDataLen, &applId);
    if (info == 0 && applId != 0) {
        m_applId.store(applId);
        if (parameters.MaxBDataLen > kDefaultMaxB3Size)
            m_assembler.SetMaxB3Size(parameters.MaxBDataLen);
        m_pump = std::thread([this] { PumpLoop(); });
    }
    Send(RegisterConfirmation(request, info == 0 ? (applId != 0 ? 0 : kDriverFault)
                                                 : uint16_t(info > 0xFFFF ? kDriverFault : info)));
}

void TRemoteSession::ReleaseApplication()
{
    const uint32_t applId = m_applId.exchange(0);
    if (applId != 0) {
        std::lock_guard<std::mutex> fetching(m_fetchLock);
        m_driver.CAPI_RELEASE(applId); // ends the pump's wait
    }
    if (m_pump.joinable() && m_pump.get_id() != std::this_thread::get_id())
        m_pump.join();
}

void TRemoteSession::PumpLoop()
{
    const uint32_t applId = m_applId.load();
    while (m_driver.CAPI_WAIT_FOR_SIGNAL(applId) == 0) {
        for (;;) {
            std::lock_guard<std::mutex> fetching(m_fetchLock);
            void* message = nullptr;
            if (m_driver.CAPI_GET_MESSAGE(applId, &message) != 0 || message == nullptr)
                break;
            Forward(static_cast<const uint8_t*>(message));
        }
    }
}

void TRemoteSession::Forward(const uint8_t* message)
{
    const uint32_t length = Word(message, 0);
    if (length < kCapiHeaderSize)
        return;
    if (message[4] == kDataB3 && message[5] == kConfirmation && length >= 14) {
        std::lock_guard<std::mutex> guard(m_blocksLock);
        m_blocks.erase({Dword(message, 8), uint16_t(Word(message, 12))});
    }
    if (message[4] != kDataB3 || message[5] != kIndication || length < kDataB3Length32) {
        Send(std::vector<uint8_t>(message, message + length));
        return;
    }
    // The data travels inline after a 32-bit form; a driver on this host gives
    // it through the 64-bit pointer, and a shorter form carries none we can use.
    uint64_t address = 0;
    if (length >= kDataB3Length64)
        std::memcpy(&address, message + kDataB3Length32, sizeof address);
    const uint32_t size = address != 0 ? Word(message, 16) : 0;
    std::vector<uint8_t> out(kDataB3Length32 + size);
    std::memcpy(out.data(), message, kDataB3Length32);
    SetWord(out.data(), 0, kDataB3Length32);
    std::memset(out.data() + 12, 0, 4);
    SetWord(out.data(), 16, size);
    if (size > 0)
        std::memcpy(out.data() + kDataB3Length32, reinterpret_cast<const uint8_t*>(uintptr_t(address)), size);
    Send(out);
}

bool TRemoteSession::Send(const std::vector<uint8_t>& payload)
{
    if (m_broken.load())
        return false;
    std::lock_guard<std::mutex> guard(m_sendLock);
    m_frame.clear();
    AppendFrame(m_frame, payload.data(), payload.size());
    size_t sent = 0;
    while (sent < m_frame.size()) {
        const ssize_t count = ::send(m_socket, m_frame.data() + sent, m_frame.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            // The client is gone or stopped reading: end the session.
            m_broken.store(true);
            ::shutdown(m_socket, SHUT_RDWR);
            return false;
        }
        sent += size_t(count);
    }
    return true;
}

} // namespace remote
