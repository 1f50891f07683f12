// The object behind an HDC. A memory DC draws on the bitmap selected into it;
// a surface DC draws on a rectangle of a surface someone else owns (a window's
// pixels), with that rectangle's top-left corner as its origin. Both clip to
// their drawable extent and to the selected clip region (in DC co-ordinates).
// Owned by the thread that draws with it; internal to the drawing layer.
#pragma once

#include <vector>

#include "platform/gdi/GdiObject.h"

namespace platform::gdi {

// What SaveDC keeps and RestoreDC brings back, besides the clip.
struct DcState {
    std::shared_ptr<BitmapObject> bitmap;  // memory DCs only; changed through DcObject::Select
    std::shared_ptr<FontObject> font;
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<PenObject> pen;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backColour = RGB(255, 255, 255);
    int backMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT position;
};

class DcObject : public GdiObject {
public:
    // A memory DC with the stock objects selected.
    DcObject();
    // A DC on `area` of `surface`; takes its own reference to the surface.
    DcObject(cairo_surface_t* surface, const RECT& area);
    ~DcObject() override;
    static bool IsKind(UINT type) { return type == OBJ_DC || type == OBJ_MEMDC; }

    bool IsMemory() const { return m_surface == nullptr; }
    // The drawable size: the selected bitmap's or the area's.
    SIZE Extent() const;
    // The pixels that exist, in DC co-ordinates: the extent less any part of the area
    // that lies off its surface.
    RECT Drawable() const;
    // The clip region (null: everything drawable). Regions are shared and never changed in
    // place, so saving a state or a clip copies no rectangles.
    const std::shared_ptr<const Region>& Clip() const { return m_clip; }
    void SetClip(std::shared_ptr<const Region> clip);
    // The clip region intersected with the drawable extent, and its bounds; kept until the
    // clip or the bitmap changes.
    const Region& EffectiveClip() const;
    RECT EffectiveBounds() const;
    // The effective clip's NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int ClipKind() const;
    // Whether any of `rect` lies inside the effective clip.
    bool Meets(const RECT& rect) const;

    void Select(std::shared_ptr<BitmapObject> bitmap);
    void Select(std::shared_ptr<FontObject> font);
    void Select(std::shared_ptr<BrushObject> brush);
    void Select(std::shared_ptr<PenObject> pen);
    int Save();
    bool Restore(int level);

    // The surface that holds the pixels and the device offset of the DC's origin.
    cairo_surface_t* BeginAccess(POINT* origin);
    void EndAccess(bool written);

    // A cairo context on `surface` (what BeginAccess returned), translated to `origin`, kept
    // from call to call (making one cost more than many drawing calls): a user brackets all
    // it changes, clip included, with cairo_save and cairo_restore, and leaves no path behind.
    cairo_t* Context(cairo_surface_t* surface, POINT origin);

    DcState m_state;

private:
    struct Saved {
        DcState state;
        std::shared_ptr<const Region> clip;
    };
    void Hold(const DcState& state, int delta);
    void ForgetClipCache();
    void DropContext();

    cairo_surface_t* m_surface = nullptr;
    RECT m_area{};
    std::shared_ptr<const Region> m_clip;
    std::vector<Saved> m_saved;
    mutable std::shared_ptr<const Region> m_effective;  // the clip itself when it lies inside the drawable
    mutable RECT m_effectiveBounds{};
    cairo_t* m_context = nullptr;
};

// The DC's cairo context for one drawing call, translated to the DC's origin and clipped to
// its clip region (and to `extraClip` when given); everything the call changes on it is undone
// at the end. False when there is nothing to draw on or nothing of the clip is left.
class DcPainter {
public:
    explicit DcPainter(DcObject& dc, const RECT* extraClip = nullptr);
    ~DcPainter();
    DcPainter(const DcPainter&) = delete;
    DcPainter& operator=(const DcPainter&) = delete;

    explicit operator bool() const { return m_cr != nullptr; }
    cairo_t* Cr() const { return m_cr; }

private:
    DcObject& m_dc;
    cairo_t* m_cr = nullptr;
    bool m_accessed = false;
};

std::shared_ptr<DcObject> LookupDc(HDC hdc);

}  // namespace platform::gdi
