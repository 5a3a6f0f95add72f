#include "MonitorFormat.h"

#include <QStringList>

#include <array>
#include <cmath>

namespace {

constexpr std::array<const char*, 17> kCallStatusNames = {
    "IDLE",           "Listening",       "ConnectNotify",
    "Connected",      "DisconnectNotify", "HoldConfirm",
    "HoldReject",     "RetrieveConfirm", "SuspendNotify",
    "ResumeNotify",   "HoldNotify",      "RetrieveNotify",
    "BeginConference", "GetSupplementServicesNotify", "TransferAlertedNotify",
    "TransferActiveNotify", "DivertingNotify",
};

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// One decimal; JSON has no NaN or infinity, so those become null.
QString Decimal(float value)
{
    if (!std::isfinite(value))
        return QStringLiteral("null");
    return QString::number(double(value), 'f', 1);
}

QString Flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QString JsonString(const QString& text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += ch;
        } else if (IsControl(c)) {
            out += QStringLiteral("\\u00");
            out += QLatin1Char(kDigits[c >> 4]);
            out += QLatin1Char(kDigits[c & 15]);
        } else {
            out += ch;
        }
    }
    out += u'"';
    return out;
}

QString CallStatusName(TCallStatus status)
{
    const size_t index = size_t(status);
    return index < kCallStatusNames.size() ? QLatin1String(kCallStatusNames[index]) : QString::number(index);
}

QString StatisticsJson(const TVoIPStatistics& s)
{
    const QStringList fields = {
        QString::number(s.Value1), QString::number(s.Value2),  QString(Decimal(s.Value3)),
        QString::number(s.Value4), QString::number(s.Value5),  QString::number(s.Value6),
        QString::number(s.Value7), QString::number(s.Value8),  Flag(s.Value9),
        QString::number(s.Value10), Decimal(s.Value11),        QString::number(s.Value12),
        QString::number(s.Value13), JsonString(s.Text),
    };
    return u'[' + fields.join(u',') + u']';
}

QString BitmapText(const TBitmap* bitmap)
{
    if (bitmap == nullptr)
        return QStringLiteral("none");
    return QString::number(bitmap->Width) + u'x' + QString::number(bitmap->Height);
}

TEventLine::TEventLine(const char* event) : m_line(QStringLiteral("event ") + QLatin1String(event)) {}

TEventLine& TEventLine::Field(const char* name, const QString& value)
{
    m_line += u' ';
    m_line += QLatin1String(name);
    m_line += u'=';
    m_line += value;
    return *this;
}

TEventLine& TEventLine::Address(uint32_t value)
{
    return Field("PLCI_NCCI", QStringLiteral("0x") + QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper());
}

TEventLine& TEventLine::Number(const char* name, uint64_t value)
{
    return Field(name, QString::number(value));
}

TEventLine& TEventLine::Boolean(const char* name, bool value)
{
    return Field(name, Flag(value));
}

TEventLine& TEventLine::Text(const char* name, const QString& value)
{
    return Field(name, JsonString(value));
}

TEventLine& TEventLine::Status(const char* name, TCallStatus value)
{
    return Field(name, CallStatusName(value));
}

TEventLine& TEventLine::Statistics(const char* name, const TVoIPStatistics& value)
{
    return Field(name, StatisticsJson(value));
}

TEventLine& TEventLine::Bitmap(const char* name, const TBitmap* value)
{
    return Field(name, BitmapText(value));
}
