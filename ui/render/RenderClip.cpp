#include "ui/render/RenderClip.h"

namespace SkinUI {

bool CUIRenderClip::ClipToRect(HDC hdc, const RECT& rect) {
    Restore();
    if (!platform::NarrowClip(hdc, rect, &m_saved)) return false;
    m_hdc = hdc;
    m_shape = rect;
    m_ellipse = SIZE{};
    return true;
}

bool CUIRenderClip::ClipToRoundRect(HDC hdc, const RECT& rect, int ellipseWidth, int ellipseHeight) {
    Restore();
    HRGN shape = CreateRoundRectRgn(rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
    const bool ok =
        shape != nullptr && platform::SaveClip(hdc, &m_saved) && ExtSelectClipRgn(hdc, shape, RGN_AND) != RGN_ERROR;
    if (shape != nullptr) DeleteObject(shape);
    if (!ok) return false;
    m_hdc = hdc;
    m_shape = rect;
    m_ellipse = SIZE{ellipseWidth, ellipseHeight};
    return true;
}

HRGN CUIRenderClip::SavedRegion() {
    if (m_hdc == nullptr) return nullptr;
    if (m_savedHandle == nullptr) {
        m_savedHandle = platform::CreateClipHandle(m_saved);
        // No clip before: the whole DC, which draws the same pixels.
        if (m_savedHandle == nullptr) {
            m_savedHandle = CreateRectRgn(0, 0, GetDeviceCaps(m_hdc, HORZRES), GetDeviceCaps(m_hdc, VERTRES));
        }
    }
    return m_savedHandle;
}

HRGN CUIRenderClip::CurrentRegion() {
    if (m_hdc == nullptr) return nullptr;
    // Made from the saved clip and the shape when asked for: most clips never are.
    if (m_currentHandle == nullptr && SavedRegion() != nullptr) {
        m_currentHandle = m_ellipse.cx == 0 && m_ellipse.cy == 0
                              ? CreateRectRgn(m_shape.left, m_shape.top, m_shape.right, m_shape.bottom)
                              : CreateRoundRectRgn(m_shape.left, m_shape.top, m_shape.right, m_shape.bottom,
                                                   m_ellipse.cx, m_ellipse.cy);
        if (m_currentHandle != nullptr) CombineRgn(m_currentHandle, m_currentHandle, m_savedHandle, RGN_AND);
    }
    return m_currentHandle;
}

void CUIRenderClip::Restore() {
    if (m_hdc != nullptr) platform::RestoreClip(m_hdc, m_saved);
    if (m_savedHandle != nullptr) DeleteObject(m_savedHandle);
    if (m_currentHandle != nullptr) DeleteObject(m_currentHandle);
    m_hdc = nullptr;
    m_saved = {};
    m_savedHandle = nullptr;
    m_currentHandle = nullptr;
}

}  // namespace SkinUI
