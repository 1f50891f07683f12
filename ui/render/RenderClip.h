// A scoped clip on a device context: ClipToRect saves the DC's clip region and narrows it to
// the intersection with a rectangle (or a rounded rectangle); the destructor, or Restore,
// selects the saved clip again. Nested clips must end in reverse order of their start.
//
// Used on the UI thread with one DC for one paint pass; the DC must outlive the clip. The
// clips are kept aside without region handles (a paint clips around every control); the
// handles SavedRegion and CurrentRegion make on request belong to the clip. When the DC had
// no clip, the saved region is the DC's whole drawable area (selecting it again draws the
// same pixels) and Restore removes the clip, as it was. A failure (bad DC, out of memory)
// leaves the DC as it was and IsActive() false.
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
    // clip is active (for example the outer clip while painting a floating child). Null when
    // not active.
    HRGN SavedRegion();
    HRGN CurrentRegion();

private:
    HDC m_hdc = nullptr;
    platform::DcClip m_saved;
    RECT m_shape{};
    SIZE m_ellipse{};  // zero for a plain rectangle
    HRGN m_savedHandle = nullptr;
    HRGN m_currentHandle = nullptr;
};

}  // namespace SkinUI
