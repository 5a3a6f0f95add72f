// The driver functions of the simulated card. Steering may force a result or
// make a call throw, as a faulty driver would.

#include "CapiExports.h"

#include "SimController.h"
#include "SimSteering.h"

using vsim::TSimController;

extern "C" {

uint32_t CAPI_REGISTER(uint32_t messageBufferSize, uint32_t maxLogicalConnection,
                       uint32_t maxBDataBlocks, uint32_t maxBDataLen, uint32_t* applId)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimRegister))
        return forced;
    return sim.Register(messageBufferSize, maxLogicalConnection, maxBDataBlocks, maxBDataLen, applId);
}

uint32_t CAPI_RELEASE(uint32_t applId)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimRelease))
        return forced;
    return sim.Release(applId);
}

uint32_t CAPI_PUT_MESSAGE(uint32_t applId, void* message)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimPutMessage))
        return forced;
    return sim.PutMessage(applId, static_cast<const uint8_t*>(message));
}

uint32_t CAPI_GET_MESSAGE(uint32_t applId, void** message)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimGetMessage))
        return forced;
    return sim.GetMessage(applId, message);
}

uint32_t CAPI_WAIT_FOR_SIGNAL(uint32_t applId)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimWaitForSignal))
        return forced;
    return sim.WaitForSignal(applId);
}

uint32_t CAPI_GET_MANUFACTURER(char* buffer)
{
    TSimController& sim = TSimController::Instance();
    sim.Steered(VsimGetManufacturer);
    sim.GetManufacturer(buffer);
    return 0;
}

uint32_t CAPI_GET_VERSION(uint32_t* capiMajor, uint32_t* capiMinor, uint32_t* manufacturerMajor,
                          uint32_t* manufacturerMinor)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimGetVersion))
        return forced;
    sim.GetVersion(capiMajor, capiMinor, manufacturerMajor, manufacturerMinor);
    return 0;
}

uint32_t CAPI_GET_SERIAL_NUMBER(char* buffer)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimGetSerialNumber))
        return forced;
    sim.GetSerialNumber(buffer);
    return 0;
}

uint32_t CAPI_GET_PROFILE(void* buffer, uint32_t controller)
{
    TSimController& sim = TSimController::Instance();
    if (const uint32_t forced = sim.Steered(VsimGetProfile))
        return forced;
    return sim.GetProfile(buffer, controller);
}

uint32_t CAPI_INSTALLED(void)
{
    TSimController& sim = TSimController::Instance();
    if (sim.Steered(VsimInstalled) != 0)
        return vsim::kNotInstalled;
    return 0;
}

const char* Get_Fatal(void)
{
    return TSimController::Instance().FatalText();
}

} // extern "C"
