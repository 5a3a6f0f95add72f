#pragma once
// Runs one piece of work on the thread that created this object and lets the
// asking thread wait for it: the receive thread's blocking hand-over to the
// main thread.
//
// The request wakes the owner's event loop through an event file descriptor,
// so asking allocates nothing; where none can be had, through a call posted
// to the owner's event queue. The owner can also serve a pending request
// itself (Service) while it waits for the asking thread, and a request made on
// the owner thread runs at once. While messages keep coming, both sides spin
// for a few microseconds before they sleep: waking a sleeping thread costs
// more than a message.

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <cstdint>
#include <functional>

class QObject;
class QSocketNotifier;
class QThread;

class TMainThreadHandOver {
public:
    explicit TMainThreadHandOver(std::function<void()> work);
    ~TMainThreadHandOver();
    TMainThreadHandOver(const TMainThreadHandOver&) = delete;
    TMainThreadHandOver& operator=(const TMainThreadHandOver&) = delete;

    // Runs the work on the owner thread and waits until it has run, unless
    // Cancel was called (then it returns at once).
    void Run();
    // On the owner thread: runs the work if a request is pending.
    void Service();
    // Lets waiting and future Run calls return without waiting.
    void Cancel();
    QThread* Owner() const { return m_owner; }

private:
    void ServeOne();
    void WakeOwner();

    std::function<void()> m_work;
    QThread* m_owner;
    int m_eventFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QObject* m_postTarget = nullptr; // lives on the owner thread when there is no event descriptor
    std::mutex m_lock;
    std::condition_variable m_done;
    // Written under m_lock; read without it by the short spins that save a
    // thread wake-up per message while messages keep coming.
    std::atomic<uint64_t> m_requested{0}; // number of the newest request
    std::atomic<uint64_t> m_served{0};    // number of the newest request whose work has run
    bool m_cancelled = false;
};
