#include "CaptureTestSupport.h"

#include <QtEndian>
#include <cstdlib>
#include <ctime>

TTimeZone::TTimeZone(const char* zone) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
{
    qputenv("TZ", zone);
    tzset();
}

TTimeZone::~TTimeZone()
{
    if (m_had)
        qputenv("TZ", m_old);
    else
        qunsetenv("TZ");
    tzset();
}

namespace {

void Put32(QByteArray& out, uint32_t value)
{
    const uint32_t le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

} // namespace

QByteArray PcapFile(uint32_t linkType, const std::vector<TRawPacket>& packets)
{
    QByteArray out;
    Put32(out, 0xA1B2C3D4);
    Put32(out, 0x00040002); // version 2.4
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 65535);
    Put32(out, linkType);
    for (const TRawPacket& p : packets) {
        Put32(out, p.Seconds);
        Put32(out, p.Micro);
        Put32(out, uint32_t(p.Data.size()));
        Put32(out, p.Length ? p.Length : uint32_t(p.Data.size()));
        out.append(p.Data);
    }
    return out;
}

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
