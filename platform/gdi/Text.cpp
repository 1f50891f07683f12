#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

#include <pixman.h>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiText.h"
#include "platform/gdi/TextLayout.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform::gdi {

LayoutText PrepareText(std::wstring_view text, Prefix prefix, Breaks breaks) {
    LayoutText result;
    result.utf8.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c == 0) continue;
        if (c == U'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n') continue;  // CR LF is one break
            c = U'\n';
        }
        if (c == U'\n' && breaks == Breaks::AsSpaces) c = U' ';
        if (c == U'&' && prefix == Prefix::Process) {
            if (i + 1 >= text.size()) break;  // a trailing prefix mark shows nothing
            c = static_cast<char32_t>(text[++i]);
            if (c != U'&') {
                const auto start = static_cast<unsigned>(result.utf8.size());
                AppendUtf8(result.utf8, c);
                result.underlined.emplace_back(start, static_cast<unsigned>(result.utf8.size()));
                continue;
            }
        }
        AppendUtf8(result.utf8, c);
    }
    return result;
}

PangoLayout* CreateLayout(const FontObject& font, const LayoutText& text) {
    PangoLayout* layout = pango_layout_new(TextContext());
    pango_layout_set_font_description(layout, font.Description());
    pango_layout_set_text(layout, text.utf8.data(), static_cast<int>(text.utf8.size()));
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.LogFont().lfUnderline)
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.LogFont().lfStrikeOut) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    for (const auto& [start, end] : text.underlined) {
        PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        underline->start_index = start;
        underline->end_index = end;
        pango_attr_list_insert(attributes, underline);
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    return layout;
}

namespace {

// Recent layouts, most recently used first. Enough for every text of a window or two; a miss
// costs the layout it would have cost anyway.
constexpr size_t kCachedLayouts = 64;

struct CacheEntry {
    HGDIOBJ font;
    LayoutText text;
    LayoutShape shape;
    LaidText laid;
};

}  // namespace

LaidText LayOut(const FontObject& font, LayoutText text, const LayoutShape& shape) {
    thread_local std::vector<CacheEntry> cache;
    const HGDIOBJ fontHandle = font.m_handle;
    for (size_t i = 0; fontHandle != nullptr && i < cache.size(); ++i) {
        CacheEntry& entry = cache[i];
        if (entry.font != fontHandle || !(entry.shape == shape) || !(entry.text == text)) continue;
        std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                    cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return cache.front().laid;
    }
    PangoLayout* layout = CreateLayout(font, text);
    if (shape.width >= 0) pango_layout_set_width(layout, shape.width);
    if (shape.height >= 0) pango_layout_set_height(layout, shape.height);
    if (shape.ellipsize) pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    if (shape.wrap) pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    pango_layout_set_alignment(layout, shape.alignment);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    LaidText laid(layout, LogicalExtents(layout), logical.width);
    g_object_unref(layout);
    if (fontHandle == nullptr) return laid;
    if (cache.size() == kCachedLayouts) cache.pop_back();
    cache.insert(cache.begin(), CacheEntry{fontHandle, std::move(text), shape, laid});
    return laid;
}

PixelExtents LogicalExtents(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const double scale = PANGO_SCALE;
    const int left = static_cast<int>(std::floor(logical.x / scale));
    const int top = static_cast<int>(std::floor(logical.y / scale));
    const int right = static_cast<int>(std::ceil((logical.x + logical.width) / scale));
    const int bottom = static_cast<int>(std::ceil((logical.y + logical.height) / scale));
    return PixelExtents{left, top, right - left, bottom - top};
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {

std::wstring_view TextSpan(LPCWSTR text, int count) {
    if (!text) return {};
    return count < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<size_t>(count));
}

// Paints the background box in OPAQUE mode, then the text in the DC's colour.
void PaintLayout(cairo_t* cr, const DcState& state, const LaidText& laid, double x, double y) {
    if (state.backMode == OPAQUE) {
        const PixelExtents& box = laid.Extents();
        SetSourceColorRef(cr, state.backColour);
        cairo_rectangle(cr, std::floor(x) + box.x, std::floor(y) + box.y, box.width, box.height);
        cairo_fill(cr);
    }
    SetSourceColorRef(cr, state.textColour);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, laid.Layout());
}

// The coverage of a laid-out text's glyphs, kept per layout: laying glyphs through pango and
// cairo cost several times more than putting a small text on the screen. Held layouts are
// never changed, and the reference keeps a layout's address from being given to another.
struct TextMask {
    PangoLayout* layout = nullptr;
    cairo_surface_t* coverage = nullptr;  // A8: what cairo adds up for the glyphs
    pixman_image_t* image = nullptr;      // a view of `coverage`
    POINT offset{};                       // of the coverage's top-left corner from the layout's origin
};

const TextMask* MaskFor(PangoLayout* layout) {
    constexpr size_t kKept = 16;
    struct Masks {
        std::vector<TextMask> kept;
        ~Masks() {
            for (TextMask& mask : kept)
                Forget(mask);
        }
        static void Forget(TextMask& mask) {
            pixman_image_unref(mask.image);
            cairo_surface_destroy(mask.coverage);
            g_object_unref(mask.layout);
        }
    };
    thread_local Masks masks;
    for (size_t i = 0; i < masks.kept.size(); ++i) {
        if (masks.kept[i].layout != layout) continue;
        std::rotate(masks.kept.begin(), masks.kept.begin() + static_cast<std::ptrdiff_t>(i),
                    masks.kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return &masks.kept.front();
    }
    // A margin around the ink for the glyphs' soft edges.
    PangoRectangle ink;
    pango_layout_get_pixel_extents(layout, &ink, nullptr);
    const POINT offset{ink.x - 2, ink.y - 2};
    cairo_surface_t* coverage = cairo_image_surface_create(CAIRO_FORMAT_A8, ink.width + 4, ink.height + 4);
    if (cairo_surface_status(coverage) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(coverage);
        return nullptr;
    }
    cairo_t* cr = cairo_create(coverage);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_move_to(cr, -offset.x, -offset.y);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_surface_flush(coverage);
    pixman_image_t* image = pixman_image_create_bits(
        PIXMAN_a8, cairo_image_surface_get_width(coverage), cairo_image_surface_get_height(coverage),
        reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(coverage)), cairo_image_surface_get_stride(coverage));
    if (!image) {
        cairo_surface_destroy(coverage);
        return nullptr;
    }
    if (masks.kept.size() == kKept) {
        Masks::Forget(masks.kept.back());
        masks.kept.pop_back();
    }
    g_object_ref(layout);
    masks.kept.insert(masks.kept.begin(), TextMask{layout, coverage, image, offset});
    return &masks.kept.front();
}

// Whether pango draws the layout in one call to cairo: one line of one run.
bool OneRun(PangoLayout* layout) {
    if (pango_layout_get_line_count(layout) != 1) return false;
    const PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
    return line != nullptr && line->runs != nullptr && line->runs->next == nullptr;
}

// Puts a laid-out text at whole-pixel (x, y) in the DC's colour by compositing its kept
// coverage, which gives the pixels cairo gives for one run of glyphs: it composites the colour
// through each glyph's coverage, or, where glyphs may overlap, through their sum. Runs drawn
// one after another can differ where they overlap, so only one-run text on a transparent
// background on 32-bit pixels is drawn here; false, having drawn nothing, otherwise.
bool PaintFromMask(DcObject& dc, const LaidText& laid, bool decorated, int x, int y, const RECT* clip) {
    if (decorated || dc.m_state.backMode != TRANSPARENT || !OneRun(laid.Layout())) return false;
    POINT origin;
    cairo_surface_t* surface = dc.BeginAccess(&origin);
    const bool applies = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    const TextMask* mask = applies ? MaskFor(laid.Layout()) : nullptr;
    pixman_image_t* dest = nullptr;
    if (mask) {
        dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, cairo_image_surface_get_width(surface),
                                        cairo_image_surface_get_height(surface),
                                        reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface)),
                                        cairo_image_surface_get_stride(surface));
    }
    const COLORREF colour = dc.m_state.textColour;
    const pixman_color_t solid{static_cast<uint16_t>(GetRValue(colour) * 257),
                               static_cast<uint16_t>(GetGValue(colour) * 257),
                               static_cast<uint16_t>(GetBValue(colour) * 257), 0xFFFF};
    pixman_image_t* source = dest ? pixman_image_create_solid_fill(&solid) : nullptr;
    if (source) {
        const int left = x + mask->offset.x;
        const int top = y + mask->offset.y;
        RECT area{left, top, left + cairo_image_surface_get_width(mask->coverage),
                  top + cairo_image_surface_get_height(mask->coverage)};
        if (clip) {
            area = RECT{std::max(area.left, clip->left), std::max(area.top, clip->top),
                        std::min(area.right, clip->right), std::min(area.bottom, clip->bottom)};
        }
        dc.ForEachClipRect(area, [&](const RECT& r) {
            pixman_image_composite32(PIXMAN_OP_OVER, source, mask->image, dest, 0, 0, r.left - left, r.top - top,
                                     r.left + origin.x, r.top + origin.y, r.right - r.left, r.bottom - r.top);
        });
        cairo_surface_mark_dirty(surface);
    }
    for (pixman_image_t* image : {source, dest}) {
        if (image) pixman_image_unref(image);
    }
    dc.EndAccess(source != nullptr);
    return source != nullptr;
}

}  // namespace

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
    auto dc = LookupDc(hdc);
    if (!dc || !metrics) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *metrics = dc->m_state.font->Metrics();
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
    auto dc = LookupDc(hdc);
    if (!dc || !size || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FontObject& font = *dc->m_state.font;
    size->cx = count == 0
                   ? 0
                   : LayOut(font, PrepareText(TextSpan(text, count), Prefix::Keep, Breaks::AsSpaces), LayoutShape{})
                         .Extents()
                         .width;
    size->cy = font.Metrics().tmHeight;
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format) {
    auto dc = LookupDc(hdc);
    if (!dc || !rect || (!text && count != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool singleLine = format & DT_SINGLELINE;
    LayoutText prepared = PrepareText(TextSpan(text, count), (format & DT_NOPREFIX) ? Prefix::Keep : Prefix::Process,
                                      singleLine ? Breaks::AsSpaces : Breaks::Keep);
    const bool noText = prepared.utf8.empty();
    const LOGFONTW& logFont = dc->m_state.font->LogFont();
    const bool decorated = !prepared.underlined.empty() || logFont.lfUnderline || logFont.lfStrikeOut;
    // Pango measures in 1/1024 pixel in an int; wider boxes than this gain nothing.
    constexpr int64_t kMaxBox = 1 << 20;
    const int rectWidth = static_cast<int>(std::clamp<int64_t>(int64_t{rect->right} - rect->left, 0, kMaxBox));
    const int rectHeight = static_cast<int>(std::clamp<int64_t>(int64_t{rect->bottom} - rect->top, 0, kMaxBox));
    // With a width pango wraps or shortens, and aligns inside it; without one the whole
    // block is placed by hand below.
    LayoutShape shape;
    // An empty rectangle asks for the text's natural size, which no ellipsis shortens.
    const bool ellipsis = (format & DT_END_ELLIPSIS) && !((format & DT_CALCRECT) && rectWidth == 0);
    if (ellipsis) {
        shape.width = rectWidth * PANGO_SCALE;
        shape.ellipsize = true;
        if (!singleLine && (format & DT_WORDBREAK)) shape.height = rectHeight * PANGO_SCALE;
    } else if (!singleLine && (format & DT_WORDBREAK)) {
        shape.width = rectWidth * PANGO_SCALE;
        shape.wrap = true;
    }
    const bool widthSet = shape.width >= 0;
    shape.alignment = (format & DT_CENTER)  ? PANGO_ALIGN_CENTER
                      : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                            : PANGO_ALIGN_LEFT;
    const LaidText laid = LayOut(*dc->m_state.font, std::move(prepared), shape);
    const int textHeight = laid.Extents().height;

    if (format & DT_CALCRECT) {
        // Only the width of the text counts, wherever the alignment put it.
        const int textWidth = noText ? 0 : laid.Extents().width;
        rect->right = static_cast<LONG>(std::min<int64_t>(int64_t{rect->left} + textWidth, INT32_MAX));
        rect->bottom = static_cast<LONG>(std::min<int64_t>(int64_t{rect->top} + textHeight, INT32_MAX));
        return textHeight;
    }

    double x = rect->left;
    if (!widthSet) {
        const double free = rectWidth - laid.LogicalWidth() / static_cast<double>(PANGO_SCALE);
        if (shape.alignment == PANGO_ALIGN_CENTER) x += std::floor(free / 2);
        if (shape.alignment == PANGO_ALIGN_RIGHT) x += std::floor(free);
    }
    int y = rect->top;
    if (singleLine && (format & DT_VCENTER)) y += (rectHeight - textHeight) / 2;
    if (singleLine && (format & DT_BOTTOM)) y = rect->bottom - textHeight;

    const RECT clip = *rect;
    const bool wholePixel = x == std::floor(x) && std::abs(x) < INT32_MAX;
    if (!wholePixel ||
        !PaintFromMask(*dc, laid, decorated, static_cast<int>(x), y, (format & DT_NOCLIP) ? nullptr : &clip)) {
        DcPainter painter(*dc, (format & DT_NOCLIP) ? nullptr : &clip);
        if (painter) PaintLayout(painter.Cr(), dc->m_state, laid, x, y);
    }
    if (singleLine && (format & (DT_VCENTER | DT_BOTTOM))) return y - rect->top + textHeight;
    return textHeight;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    auto dc = LookupDc(hdc);
    if (!dc || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LaidText laid =
        LayOut(*dc->m_state.font, PrepareText(TextSpan(text, count), Prefix::Keep, Breaks::AsSpaces), LayoutShape{});
    DcPainter painter(*dc);
    if (painter) PaintLayout(painter.Cr(), dc->m_state, laid, x, y);
    return TRUE;
}
