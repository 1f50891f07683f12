// Pango layouts for the text calls, built on one context per thread so that
// measuring and drawing use the same font options and therefore the same
// widths. Internal to the drawing layer; used on the drawing thread only.
#pragma once

#include <pango/pangocairo.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi/GdiObject.h"

namespace platform::gdi {

// The thread's text context (grey antialiasing, no hinting, so metrics are the
// same on every machine).
PangoContext* TextContext();
// The face name pango should use for `requested`: itself when installed, else the pinned face.
std::string ResolveFace(std::string_view requested);

// Text to lay out: valid UTF-8 plus the byte ranges a '&' prefix underlines.
struct LayoutText {
    std::string utf8;
    std::vector<std::pair<unsigned, unsigned>> underlined;
    bool operator==(const LayoutText&) const = default;
};
enum class Prefix { Process, Keep };
enum class Breaks { Keep, AsSpaces };
LayoutText PrepareText(std::wstring_view text, Prefix prefix, Breaks breaks);

// A new layout of `text` in `font`; the caller unrefs it.
PangoLayout* CreateLayout(const FontObject& font, const LayoutText& text);

// Logical extents of a layout in whole pixels (rounded outwards).
struct PixelExtents {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
PixelExtents LogicalExtents(PangoLayout* layout);

// How a layout is fitted, besides its font and text.
struct LayoutShape {
    int width = -1;   // in pango units; -1: no limit
    int height = -1;  // in pango units, for ellipsizing wrapped text; -1: no limit
    bool ellipsize = false;
    bool wrap = false;
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    bool operator==(const LayoutShape&) const = default;
};

// A laid-out text and its measures; holds a reference to the layout.
class LaidText {
public:
    LaidText(PangoLayout* layout, PixelExtents extents, int logicalWidth)
        : m_layout(layout), m_extents(extents), m_logicalWidth(logicalWidth) {
        g_object_ref(m_layout);
    }
    LaidText(const LaidText& other) : LaidText(other.m_layout, other.m_extents, other.m_logicalWidth) {}
    // Moved without touching the layout's reference count: the layout cache moves its entries
    // on every lookup.
    LaidText(LaidText&& other) noexcept
        : m_layout(std::exchange(other.m_layout, nullptr)),
          m_extents(other.m_extents),
          m_logicalWidth(other.m_logicalWidth) {}
    LaidText& operator=(const LaidText& other) {
        LaidText copy(other);
        return *this = std::move(copy);
    }
    LaidText& operator=(LaidText&& other) noexcept {
        std::swap(m_layout, other.m_layout);
        m_extents = other.m_extents;
        m_logicalWidth = other.m_logicalWidth;
        return *this;
    }
    ~LaidText() {
        if (m_layout) g_object_unref(m_layout);
    }

    PangoLayout* Layout() const { return m_layout; }
    const PixelExtents& Extents() const { return m_extents; }
    int LogicalWidth() const { return m_logicalWidth; }  // pango units, not rounded

private:
    PangoLayout* m_layout;
    PixelExtents m_extents;
    int m_logicalWidth;
};

// `text` laid out in `font` and fitted as `shape` asks, from the thread's cache of recent
// layouts: laying text out costs far more than drawing it, and paints draw the same texts
// again. Fonts are known by handle, and handles are never reused, so a font deleted and
// another made in its place cannot find the old layouts. A cached layout is never changed.
LaidText LayOut(const FontObject& font, LayoutText text, const LayoutShape& shape);

// Whether DrawTextW puts numbers (digits and percent signs) together from their characters'
// kept glyphs instead of laying them out; on unless a test compares the two.
void SetNumbersComposed(bool composed);

}  // namespace platform::gdi
