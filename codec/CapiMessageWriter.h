#pragma once
// Builds one outgoing CAPI 2.0 message in place: an 8-byte header followed by
// a fixed parameter area. Appends that do not fit are dropped whole, so the
// message always stays well formed (Length = 8 + bytes written).

#include <QString>
#include <QStringView>
#include <cstdint>

class TCapiMessageWriter {
public:
    static constexpr uint32_t kParameterArea = 2048;
    static constexpr uint32_t kMaxParameters = kParameterArea - 1;

    void Init(uint16_t applId, uint8_t command, uint8_t subcommand, uint16_t messageNumber);

    void AddByte(uint8_t value);
    void AddWord(uint16_t value);
    void AddDword(uint32_t value);
    // The 64-bit data pointer of DATA_B3 on 64-bit hosts.
    void AddQword(uint64_t value);
    void AddBytes(const void* bytes, uint32_t count);

    uint32_t OpenStruct();
    void CloseStruct(uint32_t position);
    void AddEmptyStruct();
    void AddText(const QString& text, bool asStruct);

    void AddCalledPartyNumber(const QString& text);
    void AddSubaddress(const QString& text);
    void AddConnectedNumber(const QString& text, bool presentationAllowed);
    void AddFacilityPartyNumber(const QString& text, bool presentationAllowed);
    void AddBProtocol(uint16_t b1, uint16_t b2, uint16_t b3);
    void AddUserUserData(const QString& text);
    void AddAdditionalInfo(const QString& keypad, const QString& userUser,
                           const void* facility, uint8_t facilityCount);

    const uint8_t* Message() const { return m_bytes; }
    uint16_t MessageLength() const { return uint16_t(m_bytes[0] | (m_bytes[1] << 8)); }
    uint32_t WriteLength() const { return m_writeLength; }

private:
    void SetLength();
    void AddTextBytes(QStringView text);

    // Header and parameter area lie back to back: the driver gets the bytes as they are.
    uint8_t m_bytes[8 + kParameterArea] = {};
    uint32_t m_writeLength = 0;
};
