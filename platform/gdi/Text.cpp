#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

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
    DcPainter painter(*dc, (format & DT_NOCLIP) ? nullptr : &clip);
    if (painter) PaintLayout(painter.Cr(), dc->m_state, laid, x, y);
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
