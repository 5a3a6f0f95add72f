#pragma once
// The ten CAPI 2.0 functions and the optional Get_Fatal, as a CAPI 2.0 driver
// library exports them (32-bit values, C linkage).

#include <cstdint>

#define VSIM_EXPORT __attribute__((visibility("default")))

extern "C" {
VSIM_EXPORT uint32_t CAPI_REGISTER(uint32_t messageBufferSize, uint32_t maxLogicalConnection,
                                   uint32_t maxBDataBlocks, uint32_t maxBDataLen, uint32_t* applId);
VSIM_EXPORT uint32_t CAPI_RELEASE(uint32_t applId);
VSIM_EXPORT uint32_t CAPI_PUT_MESSAGE(uint32_t applId, void* message);
VSIM_EXPORT uint32_t CAPI_GET_MESSAGE(uint32_t applId, void** message);
VSIM_EXPORT uint32_t CAPI_WAIT_FOR_SIGNAL(uint32_t applId);
VSIM_EXPORT uint32_t CAPI_GET_MANUFACTURER(char* buffer);
VSIM_EXPORT uint32_t CAPI_GET_VERSION(uint32_t* capiMajor, uint32_t* capiMinor,
                                      uint32_t* manufacturerMajor, uint32_t* manufacturerMinor);
VSIM_EXPORT uint32_t CAPI_GET_SERIAL_NUMBER(char* buffer);
VSIM_EXPORT uint32_t CAPI_GET_PROFILE(void* buffer, uint32_t controller);
VSIM_EXPORT uint32_t CAPI_INSTALLED(void);
VSIM_EXPORT const char* Get_Fatal(void);
}
