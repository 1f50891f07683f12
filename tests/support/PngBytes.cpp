#include "support/PngBytes.h"

#include <cairo.h>

#include <cstddef>

namespace testsupport {

std::vector<uint8_t> PngBytes(int width, int height, const std::vector<uint32_t>& argb) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = argb[static_cast<size_t>(y) * width + x];
            const uint32_t a = p >> 24;
            auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (premultiply((p >> 16) & 0xFF) << 16) | (premultiply((p >> 8) & 0xFF) << 8) |
                     premultiply(p & 0xFF);
        }
    }
    cairo_surface_mark_dirty(surface);
    std::vector<uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* chunk, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), chunk, chunk + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

}  // namespace testsupport
