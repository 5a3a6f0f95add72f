// TCapi20: the handlers the dispatcher routes to. Call control, B-channel
// data, the D-channel trace and the manufacturer extensions fill them in;
// until then a message routed here is consumed without effect.

#include "TFCapi20.h"

#include "CapiMessageReader.h"

void TCapi20::AlertConfirmation(const uint8_t* /*message*/) {}
void TCapi20::ConnectConfirmation(const uint8_t* /*message*/) {}
void TCapi20::ConnectIndication(const uint8_t* /*message*/) {}
void TCapi20::ConnectActiveIndication(const uint8_t* /*message*/) {}
void TCapi20::DisconnectIndication(const uint8_t* /*message*/) {}
void TCapi20::InfoConfirmation(const uint8_t* /*message*/) {}
void TCapi20::InfoIndication(const uint8_t* /*message*/) {}
void TCapi20::SelectBProtocolConfirmation(const uint8_t* /*message*/) {}
void TCapi20::FacilityConfirmation(const uint8_t* /*message*/) {}
void TCapi20::FacilityIndication(const uint8_t* /*message*/) {}
void TCapi20::ConnectB3Confirmation(const uint8_t* /*message*/) {}
void TCapi20::ConnectB3Indication(const uint8_t* /*message*/) {}
void TCapi20::ConnectB3ActiveIndication(const uint8_t* /*message*/) {}
void TCapi20::DisconnectB3Indication(const uint8_t* /*message*/) {}
void TCapi20::ConnectB3T90ActiveIndication(const uint8_t* /*message*/) {}

// Runs on the receive thread (without events) before the message is queued,
// and again from the dispatcher (with events).
void TCapi20::ParseConnectActive(const uint8_t* /*message*/, bool /*withEvents*/) {}

// At registration: what the controller offers is asked again.
void TCapi20::ClearSupplementaryServices()
{
    m_supplementary.SetSupportedServices(0);
}

// The 3-second tick: stale supplementary-service requests and unanswered
// interrogations end here, one step per tick.
void TCapi20::TimerTick()
{
    const uint32_t now = TickCount();
    if (!DropStaleSupplementaryQueue(now))
        EndStaleInterrogation(now);
}
