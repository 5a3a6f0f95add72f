#pragma once
// The receive side of TCapi20: blocks in the driver, copies every waiting
// message into a pooled buffer, queues it under the queue lock and hands the
// queue over to the component's thread, where DispatchQueue routes it.

#include "MainThreadHandOver.h"

#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TCapi20;

class TCapiThread : public QThread {
public:
    static constexpr int kPoolSize = 33;

    // Created on the component's thread, which then receives the hand-overs.
    explicit TCapiThread(TCapi20* component);
    ~TCapiThread() override;

    // Gets one message from the driver and handles or queues it; true when one was got.
    bool FetchMessage();
    // Drains the queue and routes each message; a nested call leaves the work
    // to the call already running.
    void DispatchQueue();

    void Lock() { m_queueLock.lock(); }
    void Unlock() { m_queueLock.unlock(); }

    void SetStop() { m_stop.store(true); }
    bool Stopped() const { return m_stop.load(); }

    // On the component's thread, while waiting for this thread to end: runs a
    // pending hand-over; CancelHandOver lets the receive thread stop waiting
    // for hand-overs that can no longer be served.
    void ServiceHandOver() { m_handOver.Service(); }
    void CancelHandOver() { m_handOver.Cancel(); }

    // Held from CAPI_GET_MESSAGE until the message is copied, and by Release
    // around CAPI_RELEASE: the driver's message is valid only until the
    // application is released.
    std::mutex& FetchGuard() { return m_fetchGuard; }

    int DispatchDepth() const { return m_dispatchDepth; }
    // Buffers currently out of the pool, and buffers allocated outside it so far.
    int PooledInUse();
    size_t QueuedCount();
    uint64_t UnpooledCount() const { return m_unpooled.load(std::memory_order_relaxed); }

protected:
    void run() override;

private:
    // A queued copy: Pool is the pool entry, or -1 for a buffer of its own.
    struct TBuffer {
        uint8_t* Bytes = nullptr;
        int Pool = -1;
    };
    struct TPoolEntry {
        bool InUse = false;
        uint32_t Capacity = 0;
        std::unique_ptr<uint8_t[]> Buffer;
    };
    // FIFO of queued copies; grows when full, never shrinks, so that a steady
    // stream does not allocate.
    class TQueue {
    public:
        bool IsEmpty() const { return m_count == 0; }
        size_t Count() const { return m_count; }
        void Push(const TBuffer& buffer);
        TBuffer Pop();

    private:
        std::vector<TBuffer> m_slots;
        size_t m_head = 0;
        size_t m_count = 0;
    };

    TBuffer AcquireBuffer(const uint8_t* message, uint16_t length); // caller holds the lock
    void ReleaseBuffer(const TBuffer& buffer);

    std::mutex m_queueLock;
    std::mutex m_fetchGuard;
    int m_dispatchDepth = 0;
    TCapi20* m_component;
    std::atomic<bool> m_stop{false};
    TQueue m_queue;
    std::array<TPoolEntry, kPoolSize> m_pool;
    TMainThreadHandOver m_handOver;
    std::atomic<uint64_t> m_unpooled{0};
};
