// A small offscreen drawing target for pixel tests: a memory DC with a
// top-down 32-bit DIB section selected, filled with a background colour.
// Pixels read back premultiplied ARGB. Used on the test's thread only.
#pragma once

#include <gtest/gtest.h>

#include "platform/gdi/Gdi.h"

namespace testsupport {

class Canvas {
public:
    Canvas(int width, int height, DWORD backgroundArgb = 0xFFFFFFFF);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    DWORD Pixel(int x, int y) const { return m_bits[static_cast<size_t>(y) * m_width + x]; }

    // The bounding box of pixels differing from `argb` by more than `tolerance` in any
    // channel; empty (all zero) when there are none.
    RECT BoundsOfPixelsNot(DWORD argb, int tolerance = 0) const;

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    DWORD* m_bits = nullptr;
};

// Every channel of `actual` within `tolerance` of `expected`.
::testing::AssertionResult PixelNear(DWORD actual, DWORD expected, int tolerance = 2);

}  // namespace testsupport
