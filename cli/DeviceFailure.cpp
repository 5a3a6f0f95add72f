#include "DeviceFailure.h"

#include "TFCapi20.h"

QString WithoutTimeStamp(const QString& line)
{
    const qsizetype at = line.indexOf(QLatin1String(": "));
    return at < 0 ? line : line.mid(at + 2);
}

QString DeviceFailure(TCapi20& capi, const QString& loaderText)
{
    const QString fatal = capi.FatalMessage();
    if (!fatal.isEmpty())
        return fatal;
    QString reason = capi.GetManufacturer();
    if (!loaderText.isEmpty())
        reason += QStringLiteral(" (") + loaderText + u')';
    return reason;
}
