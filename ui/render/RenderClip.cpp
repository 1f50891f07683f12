#include "ui/render/RenderClip.h"

namespace SkinUI {

bool CUIRenderClip::ClipToRect(HDC hdc, const RECT& rect) {
    Restore();
    return Narrow(hdc, CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom));
}

bool CUIRenderClip::ClipToRoundRect(HDC hdc, const RECT& rect, int ellipseWidth, int ellipseHeight) {
    Restore();
    return Narrow(hdc, CreateRoundRectRgn(rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight));
}

bool CUIRenderClip::Narrow(HDC hdc, HRGN shape) {
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    bool ok = shape && saved;
    int had = 0;
    if (ok) {
        had = GetClipRgn(hdc, saved);
        ok = had >= 0;
    }
    if (ok && had == 0) {
        RECT all;
        ok = GetClipBox(hdc, &all) != RGN_ERROR;
        if (ok) {
            DeleteObject(saved);
            saved = CreateRectRgn(all.left, all.top, all.right, all.bottom);
            ok = saved != nullptr;
        }
    }
    ok = ok && CombineRgn(shape, shape, saved, RGN_AND) != RGN_ERROR && SelectClipRgn(hdc, shape) != RGN_ERROR;
    if (!ok) {
        if (shape) DeleteObject(shape);
        if (saved) DeleteObject(saved);
        return false;
    }
    m_hdc = hdc;
    m_saved = saved;
    m_current = shape;
    m_hadClip = had == 1;
    return true;
}

void CUIRenderClip::Restore() {
    if (!m_hdc) return;
    SelectClipRgn(m_hdc, m_hadClip ? m_saved : nullptr);
    DeleteObject(m_saved);
    DeleteObject(m_current);
    m_hdc = nullptr;
    m_saved = nullptr;
    m_current = nullptr;
    m_hadClip = false;
}

}  // namespace SkinUI
