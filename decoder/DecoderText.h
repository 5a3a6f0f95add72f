#pragma once
// Helpers for the decoders' texts. Fixed texts live in constexpr tables of
// literals and are handed out without copying, so decoding without a tree
// allocates only for texts that really depend on the octets.

#include "DecodeTree.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// A QString over a literal: no allocation, no copy. The literal outlives it.
inline QString StaticText(QStringView text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.utf16()), text.size());
}
// A literal's length is known: not searched for its end on every call.
template <size_t N>
inline QString StaticText(const char16_t (&literal)[N])
{
    return StaticText(QStringView(literal, qsizetype(N - 1)));
}

struct TCodeText {
    uint32_t code;
    QStringView text;
};

// Spreads a list of (code, text) into a table indexed by the code; codes
// without an entry stay null.
template <size_t Size, size_t N>
constexpr std::array<QStringView, Size> ByCode(const TCodeText (&entries)[N])
{
    std::array<QStringView, Size> table{};
    for (const TCodeText& entry : entries)
        table[entry.code] = entry.text;
    return table;
}

// The entry for code, or null when the code is out of range or has none.
template <size_t Size>
constexpr QStringView LookUp(const std::array<QStringView, Size>& table, uint32_t code)
{
    return code < Size ? table[code] : QStringView();
}

// Adds a line under parent; nothing without a tree.
inline void AddLine(TDecodeTree* tree, TNodeId parent, const QString& text)
{
    if (tree)
        tree->AddChild(parent, text);
}
inline void AddLine(TDecodeTree* tree, TNodeId parent, QStringView text)
{
    if (tree)
        tree->AddChild(parent, StaticText(text));
}
// Adds the line only when the table had an entry.
inline void AddKnownLine(TDecodeTree* tree, TNodeId parent, QStringView text)
{
    if (tree && !text.isNull())
        tree->AddChild(parent, StaticText(text));
}

// Upper-case hex digits of value, at least digits of them, written backwards
// from end; returns where they begin.
inline char16_t* HexDigitsBefore(char16_t* end, uint32_t value, int digits)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    char16_t* begin = end;
    do {
        *--begin = kDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    while (end - begin < digits && end - begin < 8)
        *--begin = u'0';
    return begin;
}

// Upper-case hex with at least digits digits, more when the value needs them.
inline void AppendHex(QString& text, uint32_t value, int digits)
{
    // Appended in one piece: a per-character append costs more than the conversion.
    char16_t buffer[8];
    const char16_t* begin = HexDigitsBefore(buffer + 8, value, digits);
    text.append(QStringView(begin, buffer + 8));
}

// Decimal, with at least digits digits (zero-padded).
inline void AppendDecimal(QString& text, uint32_t value, int digits = 1)
{
    char16_t buffer[10];
    int n = 10;
    do {
        buffer[--n] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (10 - n < digits && n > 0)
        buffer[--n] = u'0';
    text.append(QStringView(buffer + n, 10 - n));
}

// prefix + value in hex, in one allocation and no appends.
inline QString HexText(QStringView prefix, uint32_t value, int digits)
{
    char16_t buffer[8];
    const char16_t* begin = HexDigitsBefore(buffer + 8, value, digits);
    const qsizetype count = buffer + 8 - begin;
    QString text(prefix.size() + count, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    std::copy(prefix.utf16(), prefix.utf16() + prefix.size(), out);
    std::copy(begin, begin + count, out + prefix.size());
    return text;
}
template <size_t N>
inline QString HexText(const char16_t (&prefix)[N], uint32_t value, int digits)
{
    return HexText(QStringView(prefix, qsizetype(N - 1)), value, digits);
}

// prefix + text, in one allocation and no appends.
inline QString Joined(QStringView prefix, QStringView text)
{
    QString joined(prefix.size() + text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(joined.data());
    std::copy(prefix.utf16(), prefix.utf16() + prefix.size(), out);
    std::copy(text.utf16(), text.utf16() + text.size(), out + prefix.size());
    return joined;
}
