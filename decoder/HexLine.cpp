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

int HexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

QByteArray OctetsFromHexLine(QStringView text, qsizetype maxOctets)
{
    QByteArray octets;
    for (qsizetype i = 0; i + 1 < text.size() && octets.size() < maxOctets; i += 3) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high >= 0 && low >= 0)
            octets.append(char(high * 16 + low));
    }
    return octets;
}
