// A scoped clip on a device context: ClipToRect saves the DC's clip region and narrows it to
// the intersection with a rectangle (or a rounded rectangle); the destructor, or Restore,
// selects the saved clip again. Nested clips must end in reverse order of their start.
//
// Used on the UI thread with one DC for one paint pass; the DC must outlive the clip. The
// clip owns both region handles. When the DC had no clip, the saved region is the DC's whole
// drawable area (selecting it again draws the same pixels) and Restore removes the clip, as
// it was. A failure (bad DC, out of memory) leaves the DC as it was and IsActive() false.
#pragma once

#include "platform/gdi/Gdi.h"

namespace SkinUI {

class CUIRenderClip {
public:
    CUIRenderClip() = default;
    ~CUIRenderClip() { Restore(); }
    CUIRenderClip(const CUIRenderClip&) = delete;
    CUIRenderClip& operator=(const CUIRenderClip&) = delete;

    // A clip already active on this object is restored first.
    bool ClipToRect(HDC hdc, const RECT& rect);
    // Corners rounded with ellipses `ellipseWidth` x `ellipseHeight`, as CreateRoundRectRgn.
    bool ClipToRoundRect(HDC hdc, const RECT& rect, int ellipseWidth, int ellipseHeight);
    // Selects the saved clip again and frees both regions; nothing when not active.
    void Restore();

    bool IsActive() const { return m_hdc != nullptr; }
    // The clip before ClipToRect and the narrowed one, for selecting them again while the
    // clip is active (for example the outer clip while painting a floating child).
    HRGN SavedRegion() const { return m_saved; }
    HRGN CurrentRegion() const { return m_current; }

private:
    bool Narrow(HDC hdc, HRGN shape);

    HDC m_hdc = nullptr;
    HRGN m_saved = nullptr;
    HRGN m_current = nullptr;
    bool m_hadClip = false;
};

}  // namespace SkinUI
