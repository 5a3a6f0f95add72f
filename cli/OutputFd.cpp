#include "OutputFd.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

TOutputFd::TOutputFd(int fd) : m_fd(fd)
{
    std::signal(SIGPIPE, SIG_IGN);
}

bool TOutputFd::Write(const char* bytes, size_t count)
{
    while (count > 0 && m_state == TState::Open) {
        const ssize_t n = ::write(m_fd, bytes, count);
        if (n < 0) {
            if (errno != EINTR)
                m_state = errno == EPIPE ? TState::Closed : TState::Failed;
            continue;
        }
        bytes += n;
        count -= size_t(n);
    }
    return m_state == TState::Open;
}
