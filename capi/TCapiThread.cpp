#include "TCapiThread.h"

#include "TFCapi20.h"

#include <algorithm>
#include <cstring>

namespace {
QString HandleText(Qt::HANDLE handle)
{
    return QStringLiteral("%1").arg(quintptr(handle), 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

void TCapiThread::TQueue::Push(const TBuffer& buffer)
{
    if (m_count == m_slots.size()) {
        std::vector<TBuffer> grown(std::max<size_t>(64, m_slots.size() * 2));
        for (size_t i = 0; i < m_count; ++i)
            grown[i] = m_slots[(m_head + i) % m_slots.size()];
        m_slots.swap(grown);
        m_head = 0;
    }
    m_slots[(m_head + m_count) % m_slots.size()] = buffer;
    ++m_count;
}

TCapiThread::TBuffer TCapiThread::TQueue::Pop()
{
    const TBuffer buffer = m_slots[m_head];
    m_head = (m_head + 1) % m_slots.size();
    --m_count;
    return buffer;
}

TCapiThread::TCapiThread(TCapi20* component)
    : m_component(component), m_handOver([this] { DispatchQueue(); })
{
    setObjectName(QStringLiteral("CAPI"));
}

TCapiThread::~TCapiThread()
{
    // Whatever is still queued goes back unrouted; the pool frees itself.
    std::lock_guard<std::mutex> guard(m_queueLock);
    while (!m_queue.IsEmpty()) {
        const TBuffer buffer = m_queue.Pop();
        if (buffer.Pool < 0)
            delete[] buffer.Bytes;
    }
}

void TCapiThread::run()
{
    if (m_component != nullptr)
        m_component->AppTrace(QStringLiteral("CAPI thread created: 0x") + HandleText(currentThreadId()));
    for (;;) {
        if (m_component == nullptr || !m_component->CapiLoaded() || m_component->ApplID() == 0) {
            SetStop();
            break;
        }
        if (!m_component->WaitForSignal())
            SetStop();
        while (!Stopped() && m_component->DeviceOpened())
            if (!FetchMessage())
                break;
        if (Stopped() || !m_component->DeviceOpened())
            break;
    }
    if (m_component != nullptr) {
        while (FetchMessage()) {
        }
        m_component->AppTrace(QStringLiteral("CAPI thread terminating: 0x") + HandleText(currentThreadId()));
    }
    // Whoever takes the queue lock after this thread has ended sees all it did.
    std::lock_guard<std::mutex> guard(m_queueLock);
}

bool TCapiThread::FetchMessage()
{
    if (m_component == nullptr || m_component->BeingDestroyed())
        return false;
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> fetching(m_fetchGuard);
        const uint8_t* message = nullptr;
        if (m_component->GetCapiMessage(m_component->ApplID(), message) != 0)
            return false;
        if (message == nullptr)
            return true;
        const uint16_t length = uint16_t(message[0] | (message[1] << 8));
        if (length < 8) {
            // Too short for a header: nothing can route it, so it is dropped here.
            m_component->AppTrace(QStringLiteral("GetCapiMessage: message too short: %1").arg(length));
            return true;
        }
        if (m_component->BeforeQueue(message))
            return true;
        std::lock_guard<std::mutex> guard(m_queueLock);
        wasEmpty = m_queue.IsEmpty();
        m_queue.Push(AcquireBuffer(message, length));
    }
    if (wasEmpty) {
        if (m_component->OnMsgHandler)
            m_component->OnMsgHandler(this);
        else
            m_handOver.Run();
    }
    return true;
}

void TCapiThread::DispatchQueue()
{
    if (m_component == nullptr || m_component->BeingDestroyed() || m_dispatchDepth > 0)
        return;
    ++m_dispatchDepth;
    for (;;) {
        TBuffer buffer;
        {
            std::lock_guard<std::mutex> guard(m_queueLock);
            if (m_queue.IsEmpty())
                break;
            buffer = m_queue.Pop();
        }
        m_component->RouteMessage(buffer.Bytes);
        ReleaseBuffer(buffer);
    }
    m_dispatchDepth = std::max(0, m_dispatchDepth - 1);
}

TCapiThread::TBuffer TCapiThread::AcquireBuffer(const uint8_t* message, uint16_t length)
{
    TBuffer buffer;
    for (int i = 0; i < kPoolSize; ++i) {
        TPoolEntry& entry = m_pool[size_t(i)];
        if (entry.InUse)
            continue;
        if (entry.Capacity < length) {
            entry.Buffer.reset(new uint8_t[length]);
            entry.Capacity = length;
        }
        entry.InUse = true;
        buffer.Bytes = entry.Buffer.get();
        buffer.Pool = i;
        break;
    }
    if (buffer.Bytes == nullptr) {
        buffer.Bytes = new uint8_t[length];
        m_unpooled.fetch_add(1, std::memory_order_relaxed);
    }
    std::memcpy(buffer.Bytes, message, length);
    return buffer;
}

void TCapiThread::ReleaseBuffer(const TBuffer& buffer)
{
    std::lock_guard<std::mutex> guard(m_queueLock);
    if (buffer.Pool >= 0 && buffer.Pool < kPoolSize)
        m_pool[size_t(buffer.Pool)].InUse = false;
    else
        delete[] buffer.Bytes;
}

int TCapiThread::PooledInUse()
{
    std::lock_guard<std::mutex> guard(m_queueLock);
    return int(std::count_if(m_pool.begin(), m_pool.end(), [](const TPoolEntry& e) { return e.InUse; }));
}

size_t TCapiThread::QueuedCount()
{
    std::lock_guard<std::mutex> guard(m_queueLock);
    return m_queue.Count();
}
