// The off-screen bitmap a window paints into before the pixels go to the window, kept from
// one paint to the next: making and zeroing a window-sized bitmap for every paint cost more
// than drawing a progress tick. Its pixels are whatever the last paint left, and its DC keeps
// whatever state the last paint gave it: a painter clears what it is about to draw and
// restores the DC (SaveDC/RestoreDC).
//
// UI thread only; owns its memory DC and bitmap.
#pragma once

#include "platform/gdi/Gdi.h"

namespace SkinUI {

class CUIBackBuffer {
public:
    CUIBackBuffer() = default;
    ~CUIBackBuffer() { Release(); }
    CUIBackBuffer(const CUIBackBuffer&) = delete;
    CUIBackBuffer& operator=(const CUIBackBuffer&) = delete;

    // A memory DC on a bitmap of exactly `size`; a new bitmap when the size differs from the
    // last one. Null when `size` is empty or memory runs out.
    HDC Prepare(SIZE size);
    SIZE Size() const { return m_size; }
    void Release();

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    SIZE m_size{};
};

}  // namespace SkinUI
