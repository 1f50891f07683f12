// Decoding of PNG, JPEG and BMP files held in memory into 32-bit premultiplied
// ARGB bitmaps (top-down DIB sections whose bits the caller may edit, e.g. to
// apply a mask colour). Any thread may decode. A failure returns nothing and
// says why; it never yields a partial bitmap.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/gdi/GdiTypes.h"

namespace platform {

struct DecodedImage {
    HBITMAP bitmap = nullptr;  // owned by the caller: DeleteObject when done
    int width = 0;
    int height = 0;
    bool hasAlpha = false;  // some pixel is not fully opaque
    DWORD* bits = nullptr;  // width * height pixels, rows top-down
};

// Images larger than 16384 pixels on a side or 64 M pixels in all are refused. On failure the last error is
// ERROR_INVALID_DATA (or ERROR_NOT_ENOUGH_MEMORY) and `error`, when given, names the reason.
std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, std::string* error = nullptr);

}  // namespace platform
