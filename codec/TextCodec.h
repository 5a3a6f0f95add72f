#pragma once
// Text from CAPI messages and D-channel frames comes as 8-bit octets that may
// be UTF-8 or the Windows-1252 code page; these functions tell them apart.

#include <QByteArray>
#include <QString>
#include <cstdint>

// 1, 2, 3 or 4 for a lead byte; -1 for a continuation byte or 0xF8..0xFF.
int Utf8SequenceLength(uint8_t lead);

// Strict check of every sequence (overlong forms and surrogates pass).
bool IsUtf8(const uint8_t* bytes, uint32_t count);

// True only when at least one multi-byte sequence is present; stops at a 0 byte.
bool ContainsUtf8(const uint8_t* bytes, uint32_t count);
inline bool ContainsUtf8(const QByteArray& text)
{
    return ContainsUtf8(reinterpret_cast<const uint8_t*>(text.constData()), uint32_t(text.size()));
}

// UTF-8 when ContainsUtf8 says so, otherwise Windows-1252.
QString DecodeText(const uint8_t* bytes, uint32_t count);
inline QString DecodeText(const QByteArray& text)
{
    return DecodeText(reinterpret_cast<const uint8_t*>(text.constData()), uint32_t(text.size()));
}

// Windows-1252 to UTF-16; the five unassigned octets map to U+0081 and the like.
QString FromCodePage(const uint8_t* bytes, uint32_t count);
