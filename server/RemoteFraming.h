#pragma once
// The remote-CAPI stream: every message travels as a 2-octet big-endian total
// length (these two octets included) followed by its payload. A payload is a
// CAPI message as it stands, a control request or confirmation with the
// subcommand 0xFF, or a DATA_B3_REQ / DATA_B3_IND followed by its data.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace remote {

inline constexpr uint32_t kLengthSize = 2;
inline constexpr uint32_t kCapiHeaderSize = 8;
inline constexpr uint32_t kMaxCapiMessage = 2048;
// Until an application has registered, its data blocks may be this large.
inline constexpr uint32_t kDefaultMaxB3Size = 2048;

// The largest total length a connection accepts: a message and one data block.
constexpr uint32_t MaxFrameLength(uint32_t maxB3Size)
{
    return kLengthSize + kMaxCapiMessage + maxB3Size;
}

// Prepends the length to a payload.
void AppendFrame(std::vector<uint8_t>& out, const uint8_t* payload, size_t count);

// Splits a received byte stream into payloads. Feed as octets arrive; each
// complete payload is handed out once by Next. A length below a CAPI header
// or above the limit makes the stream malformed for good.
class TFrameAssembler {
public:
    explicit TFrameAssembler(uint32_t maxB3Size = kDefaultMaxB3Size) : m_maxB3Size(maxB3Size) {}

    void SetMaxB3Size(uint32_t value) { m_maxB3Size = value; }
    void Feed(const uint8_t* bytes, size_t count);
    // The next complete payload, or false when none is complete (or malformed).
    bool Next(std::vector<uint8_t>& payload);
    bool Malformed() const { return m_malformed; }
    // Octets of an unfinished message are waiting: the peer is mid-message.
    bool MidMessage() const { return m_buffer.size() > m_start; }

private:
    std::vector<uint8_t> m_buffer;
    size_t m_start = 0;
    uint32_t m_maxB3Size;
    bool m_malformed = false;
};

} // namespace remote
