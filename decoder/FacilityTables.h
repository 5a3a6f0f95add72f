#pragma once
// Names of ROSE operation and error values of the ETSI supplementary services.

#include <QString>
#include <cstdint>

// " (name)" for a known operation value, else empty text.
QString OperationName(uint32_t value);

// " (text)" for a known error value (its low 16 bits), else empty text.
QString ErrorName(uint32_t value);
