#pragma once
// Notification indicator (0x27).

#include "DecodeTree.h"

#include <QString>
#include <cstdint>

// Text result: the notification description ("remote hold", ...).
QString DecodeNotificationIndicator(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count);
