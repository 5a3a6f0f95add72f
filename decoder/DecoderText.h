#pragma once
// Helpers for the decoders' texts. Fixed texts live in constexpr tables of
// literals and are handed out without copying, so decoding without a tree
// allocates only for texts that really depend on the octets.

#include "DecodeTree.h"

#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <cstdint>

// A QString over a literal: no allocation, no copy. The literal outlives it.
inline QString StaticText(QStringView text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.utf16()), text.size());
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

// Upper-case hex with at least digits digits, more when the value needs them.
inline void AppendHex(QString& text, uint32_t value, int digits)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    // Filled from the end, appended in one piece: a per-character append
    // costs more than the conversion.
    char16_t buffer[8];
    int n = 8;
    do {
        buffer[--n] = kDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    while (8 - n < digits && n > 0)
        buffer[--n] = u'0';
    text.append(QStringView(buffer + n, 8 - n));
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

// prefix + value in hex, in one allocation.
inline QString HexText(QStringView prefix, uint32_t value, int digits)
{
    QString text;
    text.reserve(prefix.size() + 8);
    text.append(prefix);
    AppendHex(text, value, digits);
    return text;
}

// prefix + text, in one allocation.
inline QString Joined(QStringView prefix, QStringView text)
{
    QString joined;
    joined.reserve(prefix.size() + text.size());
    joined.append(prefix);
    joined.append(text);
    return joined;
}
