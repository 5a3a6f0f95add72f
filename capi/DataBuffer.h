#pragma once
// TDataBufferFIFO: a byte FIFO that re-blocks outgoing B-channel data. Bytes
// are compacted to the front only when a put does not fit behind the stored
// ones and enough has been consumed from the front.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class TDataBufferFIFO {
public:
    explicit TDataBufferFIFO(uint32_t capacity);

    bool PutData(const void* data, uint32_t count, bool lock);
    // Points at count stored bytes inside the buffer and consumes them; null
    // when fewer are stored. The bytes stay until a later put or Clear.
    const uint8_t* GetData(uint32_t count, bool lock);
    uint32_t Count() const;
    // Without the lock: the owner empties the FIFO when nothing else uses it.
    void Clear();
    uint32_t Capacity() const { return m_capacity; }

private:
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_capacity;
    // Atomic so that Count may look while another thread puts or gets.
    std::atomic<uint32_t> m_readPosition{0};
    std::atomic<uint32_t> m_writePosition{0};
    std::mutex m_lock;
};
