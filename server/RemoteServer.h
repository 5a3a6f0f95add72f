#pragma once
// The remote-CAPI server: listens on one TCP address and serves a loaded
// CAPI driver library to every connection, each with its own session.

#include "CapiDriverLibrary.h"
#include "RemoteSession.h"

#include <memory>
#include <string>
#include <vector>

namespace remote {

class TRemoteServer {
public:
    TRemoteServer(const TCapiEntryPoints& driver, TRemoteSession::TLog log);
    ~TRemoteServer();
    TRemoteServer(const TRemoteServer&) = delete;
    TRemoteServer& operator=(const TRemoteServer&) = delete;

    // Binds and listens; an empty result, or the error text.
    std::string Listen(const std::string& address, uint16_t port);
    // The port actually bound (port 0 asks the system for one).
    uint16_t Port() const { return m_port; }
    // Accepts and serves until the stop descriptor becomes readable.
    void Run(int stopDescriptor);

private:
    void Accept();
    void ReapFinished();

    const TCapiEntryPoints& m_driver;
    TRemoteSession::TLog m_log;
    int m_listener = -1;
    uint16_t m_port = 0;
    int m_nextNumber = 1;
    std::vector<std::unique_ptr<TRemoteSession>> m_sessions;
};

// Splits "ADDR:PORT" (ADDR may be empty for the default); false when malformed.
bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port);
// True for addresses that only this host can reach.
bool IsLoopbackAddress(const std::string& address);

} // namespace remote
