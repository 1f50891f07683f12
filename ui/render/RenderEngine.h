// The framework's drawing operations: colour fills, lines and frames with alpha, skin images
// from image specs, plain text and marked-up text. Everything a call needs comes in as
// parameters (the DC, rectangles in DC co-ordinates, an image source, a font source); what a
// thread keeps between calls cannot go stale: image specs parsed by their text, and one
// memory DC lent to the image draws.
//
// Called on the UI thread during painting and layout. Nothing here keeps a handle it was
// given; fonts made for marked-up text are deleted before the call returns. Every call
// leaves the DC's selected objects, colours, modes and clip as it found them. A false result
// means a bad argument or a failed resource (DC, image, spec), never "nothing was visible".
//
// Marked-up text (DrawMarkedText) is plain text with inline tags in braces:
//   {b}...{/b}          bold              {i}...{/i}        italic
//   {u}...{/u}          underline         {n}               line break
//   {c #AARRGGBB}...{/c} text colour (a colour as skins write it; the alpha is not used,
//                        as for all text)
//   {f N}...{/f}        the font of index N of the font source
//   {a}...{/a}          a link whose text is the text shown
//   {a target}...{/a}   a link whose text is `target`
//   {{                  a literal '{'
// Tags nest; a closing tag ends the innermost open tag of its kind, even when other tags were
// opened after it and are still open. A brace that does not start one of these tags, a tag
// with a bad argument and a closing tag with nothing to close are shown as written. Line feeds
// in the text break lines like {n}; with DT_SINGLELINE both count as a space.
#pragma once

#include <string_view>

#include "platform/gdi/Gdi.h"
#include "ui/core/UIString.h"
#include "ui/render/FontSource.h"
#include "ui/render/ImageCache.h"

namespace SkinUI {

// How DrawImage places one image.
struct UIImageDrawParams {
    RECT dest{};    // where the source part goes, in DC co-ordinates
    RECT clip{};    // nothing is drawn outside it (the control's and the paint rectangle's overlap)
    RECT source{};  // the part of the image to draw; must lie inside the image
    // Nine-grid borders in source pixels (left, top, right, bottom widths). Corners are drawn
    // unscaled, edges stretched along their length, the middle stretched or tiled. When the
    // destination is smaller than two opposite borders, those borders shrink in proportion.
    RECT corner{};
    BYTE fade = 255;      // constant opacity
    bool hole = false;    // leave the middle of the nine-grid out
    bool xTiled = false;  // repeat the middle (and top and bottom edges) across instead of stretching
    bool yTiled = false;  // repeat the middle (and left and right edges) down instead of stretching
};

class CUIRenderEngine {
public:
    // ARGB colour blended over the rectangle; alpha 0 draws nothing.
    static bool FillColor(HDC hdc, const RECT& rect, DWORD argb);
    // A line from (left, top) to (right, bottom) of `fromTo`, end point excluded; `penStyle`
    // is PS_SOLID, PS_DASH or PS_DOT.
    static bool StrokeLine(HDC hdc, const RECT& fromTo, int width, DWORD argb, int penStyle = PS_SOLID);
    // A frame `size` pixels wide inside the rectangle.
    static bool StrokeRect(HDC hdc, const RECT& rect, int size, DWORD argb);
    // A rounded frame `size` pixels wide inside the rectangle; the corners are ellipses
    // `ellipseWidth` x `ellipseHeight`, as RoundRect.
    static bool StrokeRoundRect(HDC hdc, const RECT& rect, int size, int ellipseWidth, int ellipseHeight, DWORD argb);

    // False when the source is not inside the image or an argument is bad.
    static bool DrawImage(HDC hdc, const UIImageInfo& image, const UIImageDrawParams& params);
    // Draws the image that `spec` describes inside `item` (a control's rectangle), limited to
    // `paint`. "dest" is relative to the item's top-left corner (default: the whole item) and
    // drawing never leaves the item. Keys that `modifier` gives replace the base image spec's;
    // an empty modifier changes nothing. A "source" reaching past the image is clipped to it.
    // False when the image spec or the modifier does not parse, names no image, the image
    // cannot be found or decoded, or "source" lies wholly outside it; true when the
    // image is fine, even if none of it falls inside `paint`.
    static bool DrawImageSpec(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                              std::wstring_view spec, std::wstring_view modifier = {});
    // Whether drawing `spec` placed at `dest` (as DrawImageSpecAt) covers everything that
    // drawing `under` (as DrawImageSpec without a modifier) would, in the same item and paint
    // area, with opaque pixels: then drawing `under` first changes nothing that is seen.
    // False when in doubt, or when either spec fails.
    static bool ImageSpecHides(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                               std::wstring_view spec, const RECT& dest, std::wstring_view under);
    // The same with "dest" replaced by `dest` (relative to the item's top-left corner), as a
    // modifier giving only that key would: for parts of a control placed at every paint.
    static bool DrawImageSpecAt(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                                std::wstring_view spec, const RECT& dest);

    // Text in the font of index `font` (the source's default when out of range; the DC's font
    // without a source), with DrawTextW formats; '&' is shown as written. With DT_CALCRECT
    // nothing is drawn and the rectangle's right and bottom are set to fit the text.
    static bool DrawPlainText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text, DWORD argb, int font,
                              UINT format);
    // Marked-up text (see above) in the source's default font, with the formats DT_LEFT,
    // DT_CENTER, DT_RIGHT, DT_TOP, DT_VCENTER, DT_BOTTOM (both vertical ones placing the whole
    // block), DT_SINGLELINE, DT_WORDBREAK, DT_END_ELLIPSIS (lines wider than the rectangle end
    // in "..."), DT_NOCLIP and DT_CALCRECT (measures; with a zero width nothing wraps).
    // `linkCount` gives how many entries `linkRects` and `linkTexts` have (either may be null)
    // and returns how many links were stored, in text order. A link broken over lines stores
    // one rectangle per line, each with the link's text. Links on lines below the rectangle
    // are not stored when drawing.
    static bool DrawMarkedText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text, DWORD argb,
                               RECT* linkRects, CUIString* linkTexts, int& linkCount, UINT format);
    // Marked-up text without its links when `marked`, else plain text in font `font`.
    static bool DrawPlainOrMarkedText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text, DWORD argb,
                                      int font, UINT format, bool marked);
};

}  // namespace SkinUI
