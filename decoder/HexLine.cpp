#include "HexLine.h"

QString HexLine(const uint8_t* octets, uint32_t count)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    QString line(qsizetype(count) * 3, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(line.data());
    for (uint32_t i = 0; i < count; ++i) {
        *out++ = kDigits[octets[i] >> 4];
        *out++ = kDigits[octets[i] & 0x0F];
        *out++ = u' ';
    }
    return line;
}

void AddHexLine(TDecodeTree* tree, TNodeId parent, const uint8_t* octets, uint32_t count)
{
    if (tree)
        tree->AddChild(parent, HexLine(octets, count));
}
