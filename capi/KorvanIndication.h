#pragma once
// Pieces of the KORVAN indications that stand on their own.

#include <QString>
#include <cstdint>

// The text of an account's registration state (kind 2): the name without
// its angle brackets, the state, and the reason when there is one.
QString KorvanStateText(uint8_t state, const QString& name, const QString& reason);
