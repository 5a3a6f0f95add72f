#include "SimSteering.h"

#include "LiveSupplementary.h"
#include "ScriptPlayer.h"
#include "SimController.h"

using vsim::TSimController;

extern "C" {

void VsimReset(void)
{
    TSimController::Instance().Reset();
    vsim::TLiveSupplementary::Instance().Reset();
}

void VsimSetSupplementaryServices(uint32_t mask) { vsim::TLiveSupplementary::Instance().SetServices(mask); }

uint32_t VsimInject(uint32_t applId, const void* message, uint32_t length)
{
    return TSimController::Instance().Deliver(applId, static_cast<const uint8_t*>(message), length);
}

uint32_t VsimPutCount(void) { return TSimController::Instance().PutCount(); }

void VsimSetPutLogLimit(uint32_t limit) { TSimController::Instance().SetPutLogLimit(limit); }

uint32_t VsimGetPut(uint32_t index, void* buffer, uint32_t capacity)
{
    return TSimController::Instance().CopyPut(index, buffer, capacity);
}

uint32_t VsimViolationCount(void) { return TSimController::Instance().ViolationCount(); }

void VsimSetResult(int function, uint32_t result) { TSimController::Instance().SetResult(function, result); }

void VsimSetThrow(int function, int enabled) { TSimController::Instance().SetThrow(function, enabled != 0); }

uint32_t VsimCallCount(int function) { return TSimController::Instance().CallCount(function); }

void VsimSetManufacturer(const char* text) { TSimController::Instance().SetManufacturer(text); }

void VsimSetSerialNumber(const char* text) { TSimController::Instance().SetSerialNumber(text); }

void VsimSetFatalText(const char* text) { TSimController::Instance().SetFatalText(text); }

void VsimSetVersion(uint32_t capiMajor, uint32_t capiMinor, uint32_t manufacturerMajor,
                    uint32_t manufacturerMinor)
{
    TSimController::Instance().SetVersion(capiMajor, capiMinor, manufacturerMajor, manufacturerMinor);
}

void VsimSetProfile(uint32_t controller, const void* profile64)
{
    TSimController::Instance().SetProfile(controller, profile64);
}

void VsimSetManufacturerRequestHandler(VsimManufacturerRequestHandler handler)
{
    TSimController::Instance().SetManufacturerRequestHandler(handler);
}

void VsimSetScripted(int scripted) { TSimController::Instance().SetScripted(scripted != 0); }

void VsimSetPutLogFile(const char* path) { TSimController::Instance().SetPutLogFile(path == nullptr ? "" : path); }

int VsimScriptPlaying(uint32_t applId) { return vsim::TScriptPlayer::Instance().Playing(applId) ? 1 : 0; }

uint32_t VsimApplicationCount(void) { return TSimController::Instance().ApplicationCount(); }

uint32_t VsimQueuedCount(uint32_t applId) { return TSimController::Instance().QueuedCount(applId); }

uint64_t VsimFetchedCount(void) { return TSimController::Instance().FetchedCount(); }

uint64_t VsimDiscardedCount(void) { return TSimController::Instance().DiscardedCount(); }

uint32_t VsimNewestApplication(void) { return TSimController::Instance().NewestApplication(); }

void VsimRegisterParameters(uint32_t* bufferSize, uint32_t* maxLogicalConnection,
                            uint32_t* maxBDataBlocks, uint32_t* maxBDataLen)
{
    TSimController::Instance().RegisterParameters(bufferSize, maxLogicalConnection, maxBDataBlocks,
                                                  maxBDataLen);
}

} // extern "C"
