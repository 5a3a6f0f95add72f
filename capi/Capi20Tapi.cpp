// TCapi20: the telephony request recipient. One component per process is
// the one that dialling requests address.

#include "TFCapi20.h"

namespace {
TCapi20* g_tapiInstance = nullptr;
} // namespace

void TCapi20::BecomeTapiInstance()
{
    g_tapiInstance = this;
}

bool TCapi20::RegisterRequestRecipient()
{
    m_tapiRegistered = false;
    return false;
}

void TCapi20::UnregisterRequestRecipient()
{
    m_tapiRegistered = false;
}
