#include "support/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace testsupport {
namespace {

int Channel(DWORD argb, int shift) {
    return static_cast<int>((argb >> shift) & 0xFF);
}

bool Near(DWORD a, DWORD b, int tolerance) {
    for (int shift : {0, 8, 16, 24}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    }
    return true;
}

}  // namespace

Canvas::Canvas(int width, int height, DWORD backgroundArgb) : m_width(width), m_height(height) {
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = platform::CreateTopDownBitmap(m_dc, width, height, &m_bits);
    m_previous = SelectObject(m_dc, m_bitmap);
    for (int i = 0; i < width * height; ++i)
        m_bits[i] = backgroundArgb;
}

Canvas::~Canvas() {
    SelectObject(m_dc, m_previous);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

RECT Canvas::BoundsOfPixelsNot(DWORD argb, int tolerance) const {
    RECT box{m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            if (Near(Pixel(x, y), argb, tolerance)) continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    return box.right == 0 ? RECT{} : box;
}

::testing::AssertionResult PixelNear(DWORD actual, DWORD expected, int tolerance) {
    if (Near(actual, expected, tolerance)) return ::testing::AssertionSuccess();
    char text[96];
    std::snprintf(text, sizeof(text), "pixel 0x%08X, expected 0x%08X (+-%d)", actual, expected, tolerance);
    return ::testing::AssertionFailure() << text;
}

}  // namespace testsupport
