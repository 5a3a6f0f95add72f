#include "CapiMessageReader.h"

#include "TextCodec.h"

#include <algorithm>

namespace {
constexpr uint32_t kHeader = 8;
}

void TCapiMessageReader::Bind(const void* message)
{
    m_message = static_cast<const uint8_t*>(message);
    m_position = 0;
}

uint16_t TCapiMessageReader::MessageLength() const
{
    return m_message ? uint16_t(m_message[0] | (m_message[1] << 8)) : 0;
}

uint16_t TCapiMessageReader::MessageNumber() const
{
    return m_message ? uint16_t(m_message[6] | (m_message[7] << 8)) : 0;
}

bool TCapiMessageReader::Inside(uint32_t count) const
{
    // 64-bit sum: a parked position must not wrap back inside.
    return m_message && uint64_t(kHeader) + m_position + count <= MessageLength();
}

uint8_t TCapiMessageReader::ReadByte()
{
    if (!Inside(1))
        return 0;
    return m_message[kHeader + m_position++];
}

uint16_t TCapiMessageReader::ReadWord()
{
    if (!Inside(2))
        return 0;
    const uint8_t* p = m_message + kHeader + m_position;
    m_position += 2;
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t TCapiMessageReader::ReadDword()
{
    if (!Inside(4))
        return 0;
    const uint8_t* p = m_message + kHeader + m_position;
    m_position += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t TCapiMessageReader::ReadQword()
{
    if (!Inside(8))
        return 0;
    const uint8_t* p = m_message + kHeader + m_position;
    m_position += 8;
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

QString TCapiMessageReader::ReadText(uint8_t count)
{
    // Fewer bytes left than asked for: the text is what there is.
    const uint32_t n = std::min<uint32_t>(count, Remaining());
    if (n == 0)
        return {};
    const uint8_t* p = m_message + kHeader + m_position;
    m_position += n;
    return IsUtf8(p, n) ? QString::fromUtf8(reinterpret_cast<const char*>(p), qsizetype(n))
                        : FromCodePage(p, n);
}

const uint8_t* TCapiMessageReader::CurrentData() const
{
    return Inside(0) ? m_message + kHeader + m_position : nullptr;
}

uint32_t TCapiMessageReader::Remaining() const
{
    return Inside(0) ? MessageLength() - kHeader - m_position : 0;
}

void TCapiMessageReader::Skip(uint8_t count)
{
    if (!m_message)
        return;
    if (Inside(count))
        m_position += count;
    else
        m_position = uint32_t(MessageLength()) + 1; // parked beyond the end
}

void TCapiMessageReader::SkipStructAt(uint32_t position)
{
    if (!m_message || uint64_t(kHeader) + position + 1 > MessageLength())
        return;
    m_position = position + m_message[kHeader + position] + 1;
}
