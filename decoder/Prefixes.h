#pragma once
// The national and international dialling prefixes that the number decoders
// put in front of national and international numbers. Process-wide: the last
// component that sets them wins. Read on the decoding thread only.

#include <QString>

const QString& NationalPrefix();
const QString& InternationalPrefix();
void SetNationalPrefix(const QString& prefix);
void SetInternationalPrefix(const QString& prefix);
