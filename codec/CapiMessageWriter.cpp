#include "CapiMessageWriter.h"

#include <cstring>

namespace {
constexpr uint32_t kHeader = 8;
constexpr uint32_t kMaxStructContent = 255;

// UTF-8 straight into the parameter area: the writer allocates nothing.
// A surrogate pair gives one four-byte sequence; a lone surrogate becomes
// '?', as Qt's own encoder has it. With out null the bytes are only counted,
// up to one more than a message can hold.
uint64_t EncodeUtf8(QStringView text, uint8_t* out)
{
    uint64_t n = 0;
    const auto put = [&](uint32_t b) {
        if (out)
            out[n] = uint8_t(b);
        ++n;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            else
                c = u'?';
        }
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6);
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12);
            put(0x80 | (c >> 6 & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18);
            put(0x80 | (c >> 12 & 0x3F));
            put(0x80 | (c >> 6 & 0x3F));
            put(0x80 | (c & 0x3F));
        }
        if (!out && n > TCapiMessageWriter::kMaxParameters)
            break; // too long for any message already: no need to count on
    }
    return n;
}

} // namespace

void TCapiMessageWriter::Init(uint16_t applId, uint8_t command, uint8_t subcommand,
                              uint16_t messageNumber)
{
    std::memset(m_bytes, 0, sizeof m_bytes);
    m_writeLength = 0;
    SetLength();
    m_bytes[2] = uint8_t(applId);
    m_bytes[3] = uint8_t(applId >> 8);
    m_bytes[4] = command;
    m_bytes[5] = subcommand;
    m_bytes[6] = uint8_t(messageNumber);
    m_bytes[7] = uint8_t(messageNumber >> 8);
}

void TCapiMessageWriter::SetLength()
{
    const uint32_t length = kHeader + m_writeLength;
    m_bytes[0] = uint8_t(length);
    m_bytes[1] = uint8_t(length >> 8);
}

void TCapiMessageWriter::AddBytes(const void* bytes, uint32_t count)
{
    // All or nothing: a partial parameter would corrupt the message layout.
    if (count > kMaxParameters - m_writeLength)
        return;
    if (count)
        std::memcpy(m_bytes + kHeader + m_writeLength, bytes, count);
    m_writeLength += count;
    SetLength();
}

void TCapiMessageWriter::AddByte(uint8_t value)
{
    AddBytes(&value, 1);
}

void TCapiMessageWriter::AddWord(uint16_t value)
{
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    AddBytes(b, 2);
}

void TCapiMessageWriter::AddDword(uint32_t value)
{
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                          uint8_t(value >> 24)};
    AddBytes(b, 4);
}

void TCapiMessageWriter::AddQword(uint64_t value)
{
    uint8_t b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = uint8_t(value >> (8 * i));
    AddBytes(b, 8);
}

uint32_t TCapiMessageWriter::OpenStruct()
{
    const uint32_t position = m_writeLength;
    AddByte(0);
    return position;
}

void TCapiMessageWriter::CloseStruct(uint32_t position)
{
    if (position >= m_writeLength)
        return; // the opening length byte was dropped
    if (m_writeLength - position - 1 > kMaxStructContent) {
        m_writeLength = position + 1 + kMaxStructContent;
        SetLength();
    }
    m_bytes[kHeader + position] = uint8_t(m_writeLength - position - 1);
}

void TCapiMessageWriter::AddEmptyStruct()
{
    CloseStruct(OpenStruct());
}

void TCapiMessageWriter::AddTextBytes(QStringView text)
{
    // All or nothing, like every other append.
    const uint64_t size = EncodeUtf8(text, nullptr);
    if (size > kMaxParameters - m_writeLength)
        return;
    EncodeUtf8(text, m_bytes + kHeader + m_writeLength);
    m_writeLength += uint32_t(size);
    SetLength();
}

void TCapiMessageWriter::AddText(const QString& text, bool asStruct)
{
    if (!asStruct) {
        AddTextBytes(text);
        return;
    }
    const uint32_t p = OpenStruct();
    AddTextBytes(text);
    CloseStruct(p);
}

void TCapiMessageWriter::AddCalledPartyNumber(const QString& text)
{
    const uint32_t p = OpenStruct();
    if (!text.isEmpty()) {
        AddByte(0x80);
        AddTextBytes(text);
    }
    CloseStruct(p);
}

void TCapiMessageWriter::AddSubaddress(const QString& text)
{
    AddCalledPartyNumber(text);
}

void TCapiMessageWriter::AddConnectedNumber(const QString& text, bool presentationAllowed)
{
    const uint32_t p = OpenStruct();
    if (!text.isEmpty() && text != QLatin1String("*")) {
        const bool star = text.startsWith(QLatin1Char('*'));
        AddByte(star ? 0x41 : 0x00);
        AddByte(presentationAllowed ? 0x80 : 0xA0);
        AddTextBytes(star ? QStringView(text).sliced(1) : QStringView(text));
    }
    CloseStruct(p);
}

void TCapiMessageWriter::AddFacilityPartyNumber(const QString& text, bool presentationAllowed)
{
    const uint32_t p = OpenStruct();
    if (!text.isEmpty()) {
        AddByte(0x01);
        AddByte(0x00);
        AddByte(presentationAllowed ? 0x80 : 0xA0);
        AddTextBytes(text);
    }
    CloseStruct(p);
}

void TCapiMessageWriter::AddBProtocol(uint16_t b1, uint16_t b2, uint16_t b3)
{
    const uint32_t p = OpenStruct();
    AddWord(b1);
    AddWord(b2);
    AddWord(b3);
    AddEmptyStruct(); // B1 configuration
    AddEmptyStruct(); // B2 configuration
    AddEmptyStruct(); // B3 configuration
    CloseStruct(p);
}

void TCapiMessageWriter::AddUserUserData(const QString& text)
{
    const uint32_t p = OpenStruct();
    if (!text.isEmpty()) {
        AddByte(0x04); // protocol discriminator: IA5 characters
        AddTextBytes(text);
    }
    CloseStruct(p);
}

void TCapiMessageWriter::AddAdditionalInfo(const QString& keypad, const QString& userUser,
                                           const void* facility, uint8_t facilityCount)
{
    if (!facility)
        facilityCount = 0; // no bytes to copy: an empty facility data array
    const uint32_t p = OpenStruct();
    AddEmptyStruct();       // B channel information
    AddText(keypad, true);  // keypad facility
    AddUserUserData(userUser);
    AddByte(facilityCount); // facility data array
    if (facilityCount > 0)
        AddBytes(facility, facilityCount);
    AddEmptyStruct();       // sending complete
    CloseStruct(p);
}
