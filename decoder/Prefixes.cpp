#include "Prefixes.h"

#include <mutex>

namespace {
struct TPrefixes {
    std::mutex Lock;
    QString National = QStringLiteral("0");
    QString International = QStringLiteral("00");
};

TPrefixes& Prefixes()
{
    static TPrefixes prefixes;
    return prefixes;
}
} // namespace

QString NationalPrefix()
{
    std::lock_guard<std::mutex> locker(Prefixes().Lock);
    return Prefixes().National;
}

QString InternationalPrefix()
{
    std::lock_guard<std::mutex> locker(Prefixes().Lock);
    return Prefixes().International;
}

void SetNationalPrefix(const QString& prefix)
{
    std::lock_guard<std::mutex> locker(Prefixes().Lock);
    Prefixes().National = prefix;
}

void SetInternationalPrefix(const QString& prefix)
{
    std::lock_guard<std::mutex> locker(Prefixes().Lock);
    Prefixes().International = prefix;
}
