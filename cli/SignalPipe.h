#pragma once
// SIGINT and SIGTERM end a command's event loop through a self-pipe, so that
// the device is closed on the main thread: the handler only writes one byte.

#include <csignal>

class TSignalPipe {
public:
    TSignalPipe() = default;
    TSignalPipe(const TSignalPipe&) = delete;
    TSignalPipe& operator=(const TSignalPipe&) = delete;
    ~TSignalPipe();

    // Creates the pipe and installs the handlers; false when that fails.
    bool Install();
    // Readable once a signal came; watch it with a QSocketNotifier.
    int ReadFd() const { return m_fds[0]; }
    void Drain();

private:
    int m_fds[2] = {-1, -1};
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};
