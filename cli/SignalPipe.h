#pragma once
// SIGINT and SIGTERM end a command's event loop through a self-pipe, so that
// the device is closed on the main thread: the handler only writes one byte.

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

class TSignalPipe {
public:
    TSignalPipe();
    TSignalPipe(const TSignalPipe&) = delete;
    TSignalPipe& operator=(const TSignalPipe&) = delete;
    ~TSignalPipe();

    // Creates the pipe and installs the handlers; false when that fails.
    // `onSignal` runs on the calling thread's event loop once per burst of
    // signals.
    bool Install(std::function<void()> onSignal);

private:
    void Drain();

    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};
