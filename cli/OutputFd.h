#pragma once
// Output to a file descriptor in large writes. A reader that went away (a
// pipe into `head`) is the normal end of a run, not an error: SIGPIPE is
// ignored and EPIPE ends the output quietly.

#include <cstddef>

class TOutputFd {
public:
    enum class TState { Open, Closed, Failed };

    explicit TOutputFd(int fd);

    // False once the output is closed or has failed; the bytes are dropped then.
    bool Write(const char* bytes, size_t count);
    TState State() const { return m_state; }

private:
    int m_fd;
    TState m_state = TState::Open;
};
