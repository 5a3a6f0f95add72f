#pragma once
// One client connection of the remote-CAPI server: its own registration on
// the driver, a reader that relays what the client sends (control requests
// answered, messages put to the driver), and a pump that relays what the
// driver delivers for the application back to the client.

#include "CapiDriverLibrary.h"
#include "RemoteFraming.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace remote {

// How long a client may stall in the middle of a message.
inline constexpr int kStallTimeoutMs = 10000;

class TRemoteSession {
public:
    using TLog = std::function<void(const std::string& line)>;

    // Takes the connected socket; the driver must outlive the session.
    TRemoteSession(int socket, const TCapiEntryPoints& driver, int number, std::string peer, TLog log);
    ~TRemoteSession();
    TRemoteSession(const TRemoteSession&) = delete;
    TRemoteSession& operator=(const TRemoteSession&) = delete;

    // A client that stalls longer than this in the middle of a message is dropped.
    void SetStallTimeout(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    void Start();
    // Ends the connection; the reader then releases the application.
    void Stop();
    bool Finished() const { return m_finished.load(); }

    // One payload from the client, as the reader handles it: false ends the
    // session (a malformed message). Public for tests and fuzzing.
    bool HandlePayload(const std::vector<uint8_t>& payload);
    // The application this session registered, 0 when none.
    uint32_t ApplId() const { return m_applId.load(); }
    // Ends the registration and the pump; the reader does this when it ends.
    void ReleaseApplication();

private:
    void ReadLoop();
    void PumpLoop();
    void Forward(const uint8_t* message);
    bool Send(const std::vector<uint8_t>& payload);
    void Register(const std::vector<uint8_t>& request);
    void PutDataB3(std::vector<uint8_t>& message, const uint8_t* data, uint32_t count);

    int m_socket;
    const TCapiEntryPoints& m_driver;
    const int m_number;
    const std::string m_peer;
    TLog m_log;
    int m_stallTimeoutMs = kStallTimeoutMs;
    std::thread m_reader;
    std::thread m_pump;
    std::atomic<uint32_t> m_applId{0};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_broken{false};
    std::mutex m_sendLock;
    TFrameAssembler m_assembler;
    std::vector<uint8_t> m_frame;
    // Data of DATA_B3_REQs in flight, by NCCI and data handle, until their
    // DATA_B3_CONF: the driver reads it from our memory until then.
    std::mutex m_blocksLock;
    // Held by the pump from fetching a message until it has been forwarded:
    // the driver's copy lives only until the application is released.
    std::mutex m_fetchLock;
    std::map<std::pair<uint32_t, uint16_t>, std::vector<uint8_t>> m_blocks;
};

} // namespace remote
