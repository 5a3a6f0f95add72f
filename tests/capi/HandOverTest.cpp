#include "MainThreadHandOver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

TEST(HandOver, RequestOnTheOwnerThreadRunsAtOnce)
{
    int runs = 0;
    TMainThreadHandOver handOver([&] { ++runs; });
    handOver.Run();
    EXPECT_EQ(runs, 1);
    handOver.Service(); // nothing pending
    EXPECT_EQ(runs, 1);
}

TEST(HandOver, OtherThreadWaitsUntilTheOwnerHasRunTheWork)
{
    std::atomic<int> runs{0};
    std::atomic<bool> returned{false};
    std::thread::id workThread;
    TMainThreadHandOver handOver([&] {
        workThread = std::this_thread::get_id();
        ++runs;
    });
    std::thread asker([&] {
        handOver.Run();
        returned = true;
    });
    // Served by the event loop of the owner.
    QElapsedTimer timer;
    timer.start();
    while (!returned && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    asker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(workThread, std::this_thread::get_id());
}

TEST(HandOver, OwnerCanServeWithoutItsEventLoop)
{
    std::atomic<int> runs{0};
    TMainThreadHandOver handOver([&] { ++runs; });
    std::atomic<bool> returned{false};
    std::thread asker([&] {
        handOver.Run();
        returned = true;
    });
    while (!returned) {
        handOver.Service();
        QThread::yieldCurrentThread();
    }
    asker.join();
    EXPECT_EQ(runs.load(), 1);
}

TEST(HandOver, CancelReleasesTheWaitingThread)
{
    std::atomic<int> runs{0};
    TMainThreadHandOver handOver([&] { ++runs; });
    std::atomic<bool> returned{false};
    std::thread asker([&] {
        handOver.Run();
        returned = true;
    });
    QThread::msleep(20);
    handOver.Cancel();
    asker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(runs.load(), 0);
    handOver.Run(); // on the owner thread it still runs directly
    EXPECT_EQ(runs.load(), 1);
}

// Takes every free file descriptor while it lives, so that creating an
// event descriptor fails.
class TDescriptorsExhausted {
public:
    TDescriptorsExhausted()
    {
        getrlimit(RLIMIT_NOFILE, &m_limit);
        rlimit low = m_limit;
        low.rlim_cur = std::min<rlim_t>(m_limit.rlim_cur, 256);
        setrlimit(RLIMIT_NOFILE, &low);
        for (;;) {
            const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                break;
            m_taken.push_back(fd);
        }
    }
    ~TDescriptorsExhausted()
    {
        for (int fd : m_taken)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &m_limit);
    }

private:
    rlimit m_limit = {};
    std::vector<int> m_taken;
};

TEST(HandOver, WithoutAnEventDescriptorTheOwnerStillRunsTheWork)
{
    std::atomic<int> runs{0};
    std::unique_ptr<TMainThreadHandOver> handOver;
    {
        TDescriptorsExhausted exhausted;
        handOver = std::make_unique<TMainThreadHandOver>([&] { ++runs; });
    }
    std::atomic<bool> returned{false};
    std::thread asker([&] {
        handOver->Run();
        returned = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!returned && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    asker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(runs.load(), 1);
}

} // namespace
