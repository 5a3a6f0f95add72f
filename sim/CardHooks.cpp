#include "CardHooks.h"

#include "KorvanExtras.h"
#include "LiveCalls.h"
#include "LiveData.h"
#include "LiveSupplementary.h"
#include "ScriptPlayer.h"
#include "SimController.h"
#include "TracePlayer.h"

#include <cstdlib>

namespace vsim {

namespace {

void OnManufacturerMessage(uint32_t applId, const uint8_t* message, uint32_t length)
{
    // Answers to the KORVAN driver's own messages are not the trace's.
    constexpr uint8_t kResponse = 0x83;
    if (length >= 8 && message[5] == kResponse
        && TKorvanExtras::Instance().Answered(applId, uint16_t(message[6] | (message[7] << 8))))
        return;
    TTracePlayer::Instance().ManufacturerMessage(applId, message, length);
}

void OnRegister(uint32_t applId)
{
    TScriptPlayer::Instance().Registered(applId);
    TKorvanExtras::Instance().Registered(applId);
}

void OnRequest(uint32_t applId, const uint8_t* message, uint32_t length)
{
    // The network answers supplementary services for any application, not
    // only for those that listen for calls.
    if (TLiveSupplementary::Instance().Request(applId, message, length))
        return;
    TLiveCalls::Instance().Request(applId, message, length);
}

void OnRelease(uint32_t applId)
{
    TLiveCalls::Instance().Released(applId);
    TLiveData::Instance().Released(applId);
    TScriptPlayer::Instance().Released(applId);
    TKorvanExtras::Instance().Released(applId);
    TTracePlayer::Instance().Released(applId);
}

// Hooks the extensions into the card when the library is loaded.
struct THook {
    THook()
    {
        InstallHooks();
        const char* manufacturer = std::getenv("VESSIK_SIM_MANUFACTURER");
        if (manufacturer != nullptr && *manufacturer != 0)
            TSimController::Instance().SetManufacturer(manufacturer);
    }
} g_hook;

} // namespace

void InstallHooks()
{
    TSimController& sim = TSimController::Instance();
    // The players are made after the card, so they are destroyed (and their
    // threads stopped) before it.
    TTracePlayer::Instance();
    TScriptPlayer::Instance();
    // The data streams before the calls: the calls' thread runs the streams'
    // hooks until the calls are destroyed, so the streams must outlive them.
    TLiveData::Instance();
    TLiveCalls::Instance();
    TLiveCalls::Instance().SetB3ActiveHook(&TLiveData::B3Active);
    TLiveCalls::Instance().SetB3ClearedHook(&TLiveData::B3Cleared);
    TLiveCalls::Instance().SetRequestHook(0x86, &TLiveData::Request); // DATA_B3
    sim.SetManufacturerRequestHandler(&OnManufacturerMessage);
    sim.SetRequestHandler(&OnRequest);
    sim.SetRegisterHandler(&OnRegister);
    sim.SetReleaseHandler(&OnRelease);
}

void ResetExtensions()
{
    TLiveCalls::Instance().Reset();
    TLiveData::Instance().Reset();
    TScriptPlayer::Instance().Reset();
    TTracePlayer::Instance().Reset();
    TKorvanExtras::Instance().Reset();
    TLiveSupplementary::Instance().Reset();
}

} // namespace vsim
