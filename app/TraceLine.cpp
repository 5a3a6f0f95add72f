#include "TraceLine.h"

#include "HexLine.h"

QByteArray ParseDataColumn(QStringView data)
{
    return OctetsFromHexLine(data, kMaxFrameOctets);
}
