// An area of the plane as a list of non-overlapping rectangles, kept in
// y-x bands (sorted by top, then left; rectangles of one band share top and
// bottom; touching runs are merged), so two equal areas have equal lists.
// A plain value: no thread affinity, no failure modes. Clip regions and the
// HRGN objects hold one each.
#pragma once

#include <vector>

#include "platform/gdi/GdiTypes.h"

namespace platform {

class Region {
public:
    enum class Op { And = RGN_AND, Or = RGN_OR, Xor = RGN_XOR, Diff = RGN_DIFF };

    Region() = default;
    // An empty or inverted rectangle gives an empty region.
    explicit Region(const RECT& rect);
    // A rectangle with corners cut by ellipses of the given width and height.
    static Region RoundRect(const RECT& rect, int ellipseWidth, int ellipseHeight);
    static Region Combine(const Region& a, const Region& b, Op op);

    const std::vector<RECT>& Rects() const { return m_rects; }
    bool IsEmpty() const { return m_rects.empty(); }
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Kind() const;
    // The smallest rectangle holding the region; all zero when empty.
    RECT Bounds() const;
    bool Contains(int x, int y) const;
    void Offset(int dx, int dy);

    bool operator==(const Region& other) const;

private:
    std::vector<RECT> m_rects;
};

}  // namespace platform
