// The pixels of one top-level window: a 32-bit premultiplied ARGB image the
// window and its children paint into, and that a display backend shows.
//
// Made and replaced on the window's thread (a resize makes a new surface, so
// a DC made earlier keeps the old one). Readers on other threads (a backend
// pushing pixels) hold a shared_ptr and read between paints; nothing locks
// the pixels. A surface that cairo could not allocate is Valid() == false and
// draws nothing.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "platform/types/WinTypes.h"

namespace platform {

class WindowSurface {
public:
    WindowSurface(int width, int height);
    ~WindowSurface();
    WindowSurface(const WindowSurface&) = delete;
    WindowSurface& operator=(const WindowSurface&) = delete;

    bool Valid() const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    cairo_surface_t* Cairo() const { return m_surface; }
    // Premultiplied ARGB; 0 outside the surface.
    DWORD Pixel(int x, int y) const;
    // Row-major, Stride() bytes a row; call Flush() after cairo drew.
    const std::uint8_t* Data() const;
    int Stride() const;
    void Flush() const;
    void MarkDirty() const;
    // Copies the overlapping part of `other` to the top-left corner.
    void CopyFrom(const WindowSurface& other);
    bool WritePng(const std::string& path) const;

private:
    int m_width;
    int m_height;
    cairo_surface_t* m_surface;
};

}  // namespace platform
