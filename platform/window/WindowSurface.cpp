#include "platform/window/WindowSurface.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {
// Beyond this a surface is refused rather than allocated: window sizes come from callers.
constexpr int kMaxExtent = 16384;
}  // namespace

WindowSurface::WindowSurface(int width, int height)
    : m_width(std::clamp(width, 1, kMaxExtent)),
      m_height(std::clamp(height, 1, kMaxExtent)),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height)) {}

WindowSurface::~WindowSurface() {
    cairo_surface_destroy(m_surface);
}

bool WindowSurface::Valid() const {
    return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS;
}

DWORD WindowSurface::Pixel(int x, int y) const {
    if (!Valid() || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    cairo_surface_flush(m_surface);
    const auto* row = cairo_image_surface_get_data(m_surface) + static_cast<size_t>(y) * Stride();
    DWORD value = 0;
    std::memcpy(&value, row + static_cast<size_t>(x) * 4, sizeof(value));
    return value;
}

const std::uint8_t* WindowSurface::Data() const {
    return Valid() ? cairo_image_surface_get_data(m_surface) : nullptr;
}

int WindowSurface::Stride() const {
    return cairo_image_surface_get_stride(m_surface);
}

void WindowSurface::Flush() const {
    cairo_surface_flush(m_surface);
}

void WindowSurface::MarkDirty() const {
    cairo_surface_mark_dirty(m_surface);
}

void WindowSurface::CopyFrom(const WindowSurface& other) {
    if (!Valid() || !other.Valid()) return;
    other.Flush();
    cairo_surface_flush(m_surface);
    const int width = std::min(m_width, other.m_width);
    const int height = std::min(m_height, other.m_height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(cairo_image_surface_get_data(m_surface) + static_cast<size_t>(y) * Stride(),
                    other.Data() + static_cast<size_t>(y) * other.Stride(), static_cast<size_t>(width) * 4);
    }
    cairo_surface_mark_dirty(m_surface);
}

bool WindowSurface::WritePng(const std::string& path) const {
    return Valid() && cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace platform
