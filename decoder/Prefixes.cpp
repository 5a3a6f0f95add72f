#include "Prefixes.h"

namespace {
QString& National()
{
    static QString prefix = QStringLiteral("0");
    return prefix;
}
QString& International()
{
    static QString prefix = QStringLiteral("00");
    return prefix;
}
} // namespace

const QString& NationalPrefix() { return National(); }
const QString& InternationalPrefix() { return International(); }
void SetNationalPrefix(const QString& prefix) { National() = prefix; }
void SetInternationalPrefix(const QString& prefix) { International() = prefix; }
