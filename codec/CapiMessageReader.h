#pragma once
// Walks the parameters of a received CAPI 2.0 message. A cursor that never
// leaves the message: reads past its Length give 0 and leave the cursor be.

#include <QString>
#include <cstdint>

class TCapiMessageReader {
public:
    void Bind(const void* message);

    uint8_t ReadByte();
    uint16_t ReadWord();
    uint32_t ReadDword();
    uint64_t ReadQword();
    QString ReadText(uint8_t count);

    uint32_t Position() const { return m_position; }
    const uint8_t* CurrentData() const;
    uint32_t Remaining() const;
    void Skip(uint8_t count);
    void SkipStructAt(uint32_t position);

    uint16_t MessageNumber() const;
    const uint8_t* Message() const { return m_message; }
    uint16_t MessageLength() const;

private:
    bool Inside(uint32_t count) const;

    const uint8_t* m_message = nullptr; // not owned
    uint32_t m_position = 0;
};
