#pragma once
// The component listens for no calls itself: a command that wants them asks
// the controller with a LISTEN_REQ for the call types the component accepts.

#include <cstdint>

class TCapi20;

// LISTEN_REQ to the component's controller with its CIP mask; the info of the
// put, or 1 when the component accepts no call type.
uint16_t ListenForCalls(TCapi20& capi);
