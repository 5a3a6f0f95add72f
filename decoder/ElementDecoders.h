#pragma once
// Every information element decoder, for callers that dispatch over them.

#include "CauseDecoder.h"
#include "ChannelDecoder.h"
#include "Facility.h"
#include "NotificationDecoder.h"
#include "NumberDecoders.h"
#include "ProgressDecoders.h"
#include "ServiceDecoders.h"
#include "TextDecoders.h"
