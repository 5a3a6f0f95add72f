#include "DataBuffer.h"

#include <cstring>

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

TDataBufferFIFO::TDataBufferFIFO(uint32_t capacity)
    : m_buffer(new uint8_t[capacity == 0 ? 1 : capacity]()), m_capacity(capacity)
{
}

bool TDataBufferFIFO::PutData(const void* data, uint32_t count, bool lock)
{
    if (count > m_capacity || (data == nullptr && count > 0))
        return false;
    if (count == 0) // nothing to copy, and no source to copy from
        return true;
    if (lock)
        m_lock.lock();
    bool stored = true;
    uint32_t read = m_readPosition.load(kRelaxed);
    uint32_t write = m_writePosition.load(kRelaxed);
    if (uint64_t(write) + count <= m_capacity) {
        std::memcpy(m_buffer.get() + write, data, count);
        write += count;
    } else if (count <= read) {
        // Only what was consumed from the front makes room, and only once at
        // least the new bytes' worth was consumed.
        const uint32_t kept = write - read;
        std::memmove(m_buffer.get(), m_buffer.get() + read, kept);
        read = 0;
        std::memcpy(m_buffer.get() + kept, data, count);
        write = kept + count;
    } else {
        stored = false;
    }
    m_readPosition.store(read, kRelaxed);
    m_writePosition.store(write, kRelaxed);
    if (lock)
        m_lock.unlock();
    return stored;
}

const uint8_t* TDataBufferFIFO::GetData(uint32_t count, bool lock)
{
    if (lock)
        m_lock.lock();
    const uint8_t* result = nullptr;
    const uint32_t read = m_readPosition.load(kRelaxed);
    if (count <= m_capacity && Count() >= count) {
        result = m_buffer.get() + read;
        m_readPosition.store(read + count, kRelaxed);
    }
    if (lock)
        m_lock.unlock();
    return result;
}

uint32_t TDataBufferFIFO::Count() const
{
    const uint32_t read = m_readPosition.load(kRelaxed);
    const uint32_t write = m_writePosition.load(kRelaxed);
    return write > read ? write - read : 0;
}

void TDataBufferFIFO::Clear()
{
    m_readPosition.store(0, kRelaxed);
    m_writePosition.store(0, kRelaxed);
    std::memset(m_buffer.get(), 0, m_capacity);
}
