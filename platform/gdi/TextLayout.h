// Pango layouts for the text calls, built on one context per thread so that
// measuring and drawing use the same font options and therefore the same
// widths. Internal to the drawing layer; used on the drawing thread only.
#pragma once

#include <pango/pangocairo.h>

#include <string>
#include <string_view>
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

}  // namespace platform::gdi
