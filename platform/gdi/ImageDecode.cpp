#include "platform/gdi/ImageDecode.h"

#include <climits>
#include <cstdint>
#include <memory>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"

// Only the formats the skins use; sizes are bounded before anything is allocated.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace platform {
namespace {

constexpr int kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{1} << 26;  // as for any bitmap

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

std::optional<DecodedImage> Failure(DWORD code, std::string* error, const std::string& why) {
    if (error) *error = why;
    SetLastError(code);
    return std::nullopt;
}

}  // namespace

std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.empty() || bytes.size() > INT_MAX) return Failure(ERROR_INVALID_DATA, error, "no image data");
    int width = 0, height = 0, channels = 0;
    // The header's size is checked before the decoder allocates anything for it.
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) &&
        (width > kMaxSide || height > kMaxSide || int64_t{width} * height > kMaxPixels)) {
        return Failure(ERROR_INVALID_DATA, error, "image too large");
    }
    std::unique_ptr<stbi_uc, StbFree> pixels(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        return Failure(ERROR_INVALID_DATA, error, reason && *reason ? reason : "undecodable image");
    }
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateTopDownBitmap(nullptr, width, height, &bits);
    if (!bitmap) return Failure(ERROR_NOT_ENOUGH_MEMORY, error, "image too large");

    DecodedImage image{bitmap, width, height, false, bits};
    const size_t count = static_cast<size_t>(width) * height;
    const stbi_uc* rgba = pixels.get();
    for (size_t i = 0; i < count; ++i, rgba += 4) {
        const DWORD a = rgba[3];
        if (a != 255) image.hasAlpha = true;
        const DWORD r = (rgba[0] * a + 127) / 255;
        const DWORD g = (rgba[1] * a + 127) / 255;
        const DWORD b = (rgba[2] * a + 127) / 255;
        image.bits[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    return image;
}

}  // namespace platform
