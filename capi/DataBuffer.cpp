#include "DataBuffer.h"

#include <cstring>

TDataBufferFIFO::TDataBufferFIFO(uint32_t capacity)
    : m_buffer(new uint8_t[capacity == 0 ? 1 : capacity]()), m_capacity(capacity)
{
}

bool TDataBufferFIFO::PutData(const void* data, uint32_t count, bool lock)
{
    if (count > m_capacity || (data == nullptr && count > 0))
        return false;
    if (lock)
        m_lock.lock();
    bool stored = true;
    if (uint64_t(m_writePosition) + count <= m_capacity) {
        std::memcpy(m_buffer.get() + m_writePosition, data, count);
        m_writePosition += count;
    } else if (count <= m_readPosition) {
        const uint32_t kept = m_writePosition - m_readPosition;
        std::memmove(m_buffer.get(), m_buffer.get() + m_readPosition, kept);
        m_writePosition = kept;
        m_readPosition = 0;
        std::memcpy(m_buffer.get() + m_writePosition, data, count);
        m_writePosition += count;
    } else {
        stored = false;
    }
    if (lock)
        m_lock.unlock();
    return stored;
}

const uint8_t* TDataBufferFIFO::GetData(uint32_t count, bool lock)
{
    if (lock)
        m_lock.lock();
    const uint8_t* result = nullptr;
    if (count <= m_capacity && Count() >= count) {
        result = m_buffer.get() + m_readPosition;
        m_readPosition += count;
    }
    if (lock)
        m_lock.unlock();
    return result;
}

uint32_t TDataBufferFIFO::Count() const
{
    return m_writePosition > m_readPosition ? m_writePosition - m_readPosition : 0;
}

void TDataBufferFIFO::Clear()
{
    m_readPosition = 0;
    m_writePosition = 0;
    std::memset(m_buffer.get(), 0, m_capacity);
}
