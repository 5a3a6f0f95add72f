#include "RemoteServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace remote {

namespace {

// A client that stops reading for this long is dropped rather than letting
// its messages pile up in the driver.
constexpr int kSendTimeoutSeconds = 10;

std::string PeerName(const sockaddr_in& peer)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

} // namespace

bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 >= text.size())
        return false;
    const std::string portText = text.substr(colon + 1);
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(portText);
    if (value > 0xFFFF)
        return false;
    address = text.substr(0, colon);
    port = uint16_t(value);
    in_addr parsed = {};
    return address.empty() || ::inet_pton(AF_INET, address.c_str(), &parsed) == 1;
}

bool IsLoopbackAddress(const std::string& address)
{
    in_addr parsed = {};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

TRemoteServer::TRemoteServer(const TCapiEntryPoints& driver, TRemoteSession::TLog log)
    : m_driver(driver), m_log(std::move(log))
{
}

TRemoteServer::~TRemoteServer()
{
    for (auto& session : m_sessions)
        session->Stop();
    m_sessions.clear(); // each joins its threads and releases its application
    if (m_listener >= 0)
        ::close(m_listener);
}

std::string TRemoteServer::Listen(const std::string& address, uint16_t port)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        return std::strerror(errno);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        return "not an IPv4 address: " + address;
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
        || ::listen(m_listener, 16) != 0)
        return std::strerror(errno);
    socklen_t size = sizeof local;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &size);
    m_port = ntohs(local.sin_port);
    return {};
}

void TRemoteServer::Run(int stopDescriptor)
{
    for (;;) {
        pollfd descriptors[2] = {{m_listener, POLLIN, 0}, {stopDescriptor, POLLIN, 0}};
        // Wake now and then to join sessions that have ended.
        const int ready = ::poll(descriptors, 2, 1000);
        if (ready < 0 && errno != EINTR)
            return;
        if (descriptors[1].revents != 0)
            return;
        if (descriptors[0].revents & POLLIN)
            Accept();
        ReapFinished();
    }
}

void TRemoteServer::Accept()
{
    sockaddr_in peer = {};
    socklen_t size = sizeof peer;
    const int connection = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    if (connection < 0)
        return;
    const int yes = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    timeval timeout = {kSendTimeoutSeconds, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    auto session = std::make_unique<TRemoteSession>(connection, m_driver, m_nextNumber++, PeerName(peer), m_log);
    session->Start();
    m_sessions.push_back(std::move(session));
}

void TRemoteServer::ReapFinished()
{
    std::erase_if(m_sessions, [](const std::unique_ptr<TRemoteSession>& session) { return session->Finished(); });
}

} // namespace remote
