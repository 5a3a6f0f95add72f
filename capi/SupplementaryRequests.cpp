// TCapi20: the outgoing supplementary-service messages, their queues and the
// timer's steps over them.

#include "TFCapi20.h"

uint16_t TCapi20::ListenSupplementaryRequest(uint32_t, uint32_t) { return 1; }
uint16_t TCapi20::EctRequest(uint32_t, uint32_t) { return 1; }
uint16_t TCapi20::SelectBProtocolRequest(uint32_t) { return 1; }
uint16_t TCapi20::ForwardRequest(uint32_t, const QString&, const QString&, uint16_t, uint16_t, bool) { return 1; }
uint16_t TCapi20::UnForwardRequest(uint32_t, const QString&, uint16_t, uint16_t, bool) { return 1; }
uint16_t TCapi20::InterrogateParamsRequest(uint32_t, const QString&, uint16_t, uint16_t, bool) { return 1; }
uint16_t TCapi20::InterrogateNumbersRequest(uint32_t) { return 1; }
uint16_t TCapi20::CcbsDeactivateRequest(uint32_t, uint16_t) { return 1; }
uint16_t TCapi20::ActivationDiversionInfoRequest(uint32_t, const QString&, const QString&, uint16_t, uint16_t)
{
    return 1;
}
uint16_t TCapi20::DeactivationDiversionInfoRequest(uint32_t, const QString&, uint16_t, uint16_t) { return 1; }
uint16_t TCapi20::InterrogateParamsInfoRequest(uint32_t, const QString&, uint16_t, uint16_t) { return 1; }
uint16_t TCapi20::InterrogateNumbersInfoRequest(uint32_t) { return 1; }
uint16_t TCapi20::CcbsStatusResultInfoRequest(uint32_t, bool) { return 1; }
uint16_t TCapi20::CcbsDeactivateInfoRequest(uint32_t, uint8_t) { return 1; }

bool TCapi20::QueueForward(uint32_t, const QString&, uint16_t, uint16_t, const QString&) { return false; }
bool TCapi20::QueueUnForward(uint32_t, const QString&, uint16_t, uint16_t) { return false; }
bool TCapi20::QueueInterrogateParams(uint32_t, const QString&, uint16_t, uint16_t) { return false; }
bool TCapi20::NextForward(bool) { return false; }
bool TCapi20::NextUnForward(bool) { return false; }
bool TCapi20::NextInterrogateParams(bool) { return false; }
QString TCapi20::ComponentKindText(uint8_t) { return {}; }

bool TCapi20::DropStaleSupplementaryQueue(uint32_t) { return false; }
bool TCapi20::EndStaleInterrogation(uint32_t) { return false; }

uint32_t TCapi20::TickCount() const { return 0; }
