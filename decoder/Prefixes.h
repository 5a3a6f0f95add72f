#pragma once
// The national and international dialling prefixes that the number decoders
// put in front of national and international numbers. Process-wide: the last
// component that sets them wins. A CAPI component decodes numbers on its
// receive thread too, so they are read and set under a lock.

#include <QString>

QString NationalPrefix();
QString InternationalPrefix();
void SetNationalPrefix(const QString& prefix);
void SetInternationalPrefix(const QString& prefix);
