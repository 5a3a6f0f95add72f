#include "RemoteFraming.h"

namespace remote {

void AppendFrame(std::vector<uint8_t>& out, const uint8_t* payload, size_t count)
{
    const size_t total = count + kLengthSize;
    out.push_back(uint8_t(total >> 8));
    out.push_back(uint8_t(total));
    out.insert(out.end(), payload, payload + count);
}

void TFrameAssembler::Feed(const uint8_t* bytes, size_t count)
{
    if (m_malformed || count == 0)
        return;
    // Drop what was handed out before the buffer grows again.
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > 4096) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_start));
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
}

bool TFrameAssembler::Next(std::vector<uint8_t>& payload)
{
    if (m_malformed)
        return false;
    const size_t available = m_buffer.size() - m_start;
    if (available < kLengthSize)
        return false;
    const uint32_t total = uint32_t(m_buffer[m_start] << 8 | m_buffer[m_start + 1]);
    if (total < kLengthSize + kCapiHeaderSize || total > MaxFrameLength(m_maxB3Size)) {
        m_malformed = true;
        return false;
    }
    if (available < total)
        return false;
    const auto first = m_buffer.begin() + std::ptrdiff_t(m_start + kLengthSize);
    payload.assign(first, first + std::ptrdiff_t(total - kLengthSize));
    m_start += total;
    return true;
}

} // namespace remote
