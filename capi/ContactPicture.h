#pragma once
// Contact pictures of the KORVAN driver: JPEG or PNG bytes into a bitmap.

#include "CapiTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Pictures wider or higher than this are refused: a contact photo never is,
// and the bound keeps a hostile header from costing gigabytes.
constexpr int kMaxPictureSide = 4096;

// Decodes the bytes as JPEG and, when that fails, as PNG. Nothing when
// neither decoder accepts them or a side exceeds kMaxPictureSide.
std::optional<TBitmap> DecodeContactPicture(const uint8_t* bytes, size_t size);
