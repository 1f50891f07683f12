// Regions and clipping, shaped like the Win32 calls. A region handle owns a
// platform::Region (rectangle list); selecting one as a clip copies it, so the
// handle may be changed or deleted afterwards. Clip regions are in the DC's
// co-ordinates. Same thread and failure rules as the rest of the drawing layer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Region.h"

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
// The result's kind (NULLREGION, SIMPLEREGION, COMPLEXREGION) or RGN_ERROR. `dest` may be a source.
int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL PtInRegion(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* rect);

// A null region removes the clip.
int SelectClipRgn(HDC hdc, HRGN region);
// Combines the clip (the whole DC when there is none) with `region`; RGN_COPY with null removes it.
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
// 1 and a copy in `region` when the DC has a clip, 0 when it has none, -1 on error.
int GetClipRgn(HDC hdc, HRGN region);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
// The bounds of what can be drawn (clip and drawable extent); returns the clip's kind.
int GetClipBox(HDC hdc, RECT* rect);

namespace platform {

// For the window layer's invalid regions.
HRGN CreateRegionHandle(Region region);
std::optional<Region> RegionFromHandle(HRGN region);

// A DC's clip, as it is kept: a region, shared and never changed in place, cut to a
// rectangle. A paint narrows the clip to every control it draws and puts it back, which this
// way copies no rectangles and allocates nothing. No region: no clip.
struct DcClip {
    std::shared_ptr<const Region> region;
    RECT narrowed{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    bool operator==(const DcClip& other) const {
        return region == other.region && narrowed.left == other.narrowed.left && narrowed.top == other.narrowed.top &&
               narrowed.right == other.narrowed.right && narrowed.bottom == other.narrowed.bottom;
    }
};
// False for a bad DC (or a null `clip`).
bool SaveClip(HDC hdc, DcClip* clip);
bool RestoreClip(HDC hdc, const DcClip& clip);
// SaveClip, then IntersectClipRect with `rect`, in one call; false for a bad DC.
bool NarrowClip(HDC hdc, const RECT& rect, DcClip* saved);
// A new region handle holding the saved clip; null when there was none.
HRGN CreateClipHandle(const DcClip& clip);

}  // namespace platform
