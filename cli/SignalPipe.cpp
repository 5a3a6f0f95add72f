#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end of the self-pipe.
int g_signalFd = -1;

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFd, &byte, 1);
    errno = saved;
}

} // namespace

TSignalPipe::TSignalPipe() = default;

bool TSignalPipe::Install(std::function<void()> onSignal)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0)
        return false;
    ::fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
    g_signalFd = m_fds[1];
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_oldInt);
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, onSignal = std::move(onSignal)] {
        Drain();
        onSignal();
    });
    return true;
}

void TSignalPipe::Drain()
{
    char bytes[16];
    while (::read(m_fds[0], bytes, sizeof bytes) > 0) {
    }
}

TSignalPipe::~TSignalPipe()
{
    if (m_fds[0] < 0)
        return;
    m_notifier.reset();
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    g_signalFd = -1;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}
