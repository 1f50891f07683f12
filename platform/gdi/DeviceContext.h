// The object behind an HDC. A memory DC draws on the bitmap selected into it;
// a surface DC draws on a rectangle of a surface someone else owns (a window's
// pixels), with that rectangle's top-left corner as its origin. Both clip to
// their drawable extent and to the selected clip region (in DC co-ordinates).
// Owned by the thread that draws with it; internal to the drawing layer.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/gdi/GdiObject.h"
#include "platform/gdi/GdiRegion.h"

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
    // The clip as kept (no region: everything drawable), and the clip region it stands for.
    const DcClip& Clip() const { return m_clip; }
    Region ClipRegion() const;
    void SetClip(const DcClip& clip);
    void SetClip(DcClip&& clip);
    // A new clip region, not narrowed (null: no clip).
    void SelectClip(std::shared_ptr<const Region> region);
    // The clip cut to `rect`; a DC without a clip gets its extent as the region first.
    void Narrow(const RECT& rect);
    // The effective clip: the clip intersected with the drawable extent. Drawing walks its
    // rectangles inside `within` (ForEachClipRect calls `use(const RECT&)` for each) instead
    // of working it out, as the clip changes far more often than a region is asked for.
    template <typename Use>
    void ForEachClipRect(const RECT& within, Use use) const;
    Region EffectiveClip() const;
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
        DcClip clip;
    };
    void Hold(const DcState& state, int delta);
    void DropContext();
    // The drawable extent cut to the clip's rectangle: every effective rectangle lies inside.
    RECT ClipBox() const;

    cairo_surface_t* m_surface = nullptr;
    RECT m_area{};
    DcClip m_clip;
    std::vector<Saved> m_saved;
    mutable std::optional<RECT> m_effectiveBounds;  // worked out when asked, until the clip changes
    cairo_t* m_context = nullptr;
};

template <typename Use>
void DcObject::ForEachClipRect(const RECT& within, Use use) const {
    const RECT box = ClipBox();
    const RECT limit{std::max(box.left, within.left), std::max(box.top, within.top), std::min(box.right, within.right),
                     std::min(box.bottom, within.bottom)};
    if (limit.left >= limit.right || limit.top >= limit.bottom) return;
    if (!m_clip.region) {
        use(limit);
        return;
    }
    for (const RECT& r : m_clip.region->Rects()) {
        if (r.top >= limit.bottom) break;
        const RECT part{std::max(r.left, limit.left), std::max(r.top, limit.top), std::min(r.right, limit.right),
                        std::min(r.bottom, limit.bottom)};
        if (part.left < part.right && part.top < part.bottom) use(part);
    }
}

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
