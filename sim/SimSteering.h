#pragma once
// Steering interface of the simulated controller for tests, benchmarks and
// tools: inject received messages, read back what the application put, make
// driver calls fail or throw, and set what the card reports.

#include <cstdint>

#ifndef VSIM_EXPORT
#define VSIM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Driver functions that can be steered.
enum VsimFunction {
    VsimRegister = 0,
    VsimRelease,
    VsimPutMessage,
    VsimGetMessage,
    VsimWaitForSignal,
    VsimGetManufacturer,
    VsimGetVersion,
    VsimGetSerialNumber,
    VsimGetProfile,
    VsimInstalled,
    VsimFunctionCount
};

// Back to the state after loading: no applications, default texts, no steering.
VSIM_EXPORT void VsimReset(void);

// Queues one received message for an application (0 = the newest registered
// one); its ApplID field is set to that application. Returns 0, 0x1101 when
// there is no such application, 0x1108 when length and Length field disagree.
VSIM_EXPORT uint32_t VsimInject(uint32_t applId, const void* message, uint32_t length);

// The supplementary services the network offers (bit n = CAPI service n;
// VESSIK_SIM_SERVICES in hex, else every service). A reset restores it and
// clears every call forwarding.
VSIM_EXPORT void VsimSetSupplementaryServices(uint32_t mask);

// Messages the application put, in order (kept up to a bound).
VSIM_EXPORT uint32_t VsimPutCount(void);
// How many puts are kept (100000 after a reset); 0 keeps none, e.g. for benchmarks.
VSIM_EXPORT void VsimSetPutLogLimit(uint32_t limit);
// Copies put message number index; returns its length (0 when there is none).
VSIM_EXPORT uint32_t VsimGetPut(uint32_t index, void* buffer, uint32_t capacity);
// Puts with a bad Length field, a foreign ApplID or an unknown command/subcommand.
VSIM_EXPORT uint32_t VsimViolationCount(void);

// A non-zero result makes every following call of the function return it
// (for CAPI_INSTALLED: "not installed"); 0 restores normal behaviour.
VSIM_EXPORT void VsimSetResult(int function, uint32_t result);
// Makes every following call of the function throw a C++ exception.
VSIM_EXPORT void VsimSetThrow(int function, int enabled);
VSIM_EXPORT uint32_t VsimCallCount(int function);

VSIM_EXPORT void VsimSetManufacturer(const char* text);
VSIM_EXPORT void VsimSetSerialNumber(const char* text);
VSIM_EXPORT void VsimSetFatalText(const char* text);
VSIM_EXPORT void VsimSetVersion(uint32_t capiMajor, uint32_t capiMinor,
                                uint32_t manufacturerMajor, uint32_t manufacturerMinor);
// 64 bytes; controller 0 holds the controller count in its first word.
VSIM_EXPORT void VsimSetProfile(uint32_t controller, const void* profile64);

// Receives every MANUFACTURER_REQ put (replaces the card's own handler; null
// restores none). Called on the putting thread, outside the card's lock.
typedef void (*VsimManufacturerRequestHandler)(uint32_t applId, const uint8_t* message, uint32_t length);
VSIM_EXPORT void VsimSetManufacturerRequestHandler(VsimManufacturerRequestHandler handler);

// 1: send nothing of its own (no demo, no confirmations, no answers), only
// what a scenario says; 0: the card's own behaviour. A reset restores
// VESSIK_SIM_SCRIPTED.
VSIM_EXPORT void VsimSetScripted(int scripted);
// Appends every message put from now on to the file, one line of hex pairs
// each; null or "" stops it. A reset restores VESSIK_SIM_PUTLOG.
VSIM_EXPORT void VsimSetPutLogFile(const char* path);
// 1 while the scripted replay for the application (0 = the newest) plays.
VSIM_EXPORT int VsimScriptPlaying(uint32_t applId);

VSIM_EXPORT uint32_t VsimApplicationCount(void);
VSIM_EXPORT uint32_t VsimQueuedCount(uint32_t applId);
// The newest registered application id, 0 when none.
VSIM_EXPORT uint32_t VsimNewestApplication(void);
// Messages handed out by CAPI_GET_MESSAGE, and messages still queued for an
// application when it was released (the card drops them).
VSIM_EXPORT uint64_t VsimFetchedCount(void);
VSIM_EXPORT uint64_t VsimDiscardedCount(void);
// The parameters of the last CAPI_REGISTER.
VSIM_EXPORT void VsimRegisterParameters(uint32_t* bufferSize, uint32_t* maxLogicalConnection,
                                        uint32_t* maxBDataBlocks, uint32_t* maxBDataLen);
}
