#pragma once
// Makes the platform's CAPI library (libcapi20.so.3, exports capi20_register
// and so on) serve as a CAPI 2.0 driver with the standard's entry points.

#include "CapiDriverLibrary.h"

inline constexpr char kPlatformCapiLibrary[] = "libcapi20.so.3";

// Resolves the platform library's ten functions from an open library handle
// and fills entry with the adapter's functions; false when one is missing.
bool BindPlatformCapi(void* handle, TCapiEntryPoints& entry);
