#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// A margin around the ink for the glyphs' soft edges.
constexpr int kCoverageMargin = 2;

// What cairo adds up for the glyphs of `layout` (A8), on the pixel extents `ink` widened by
// `margin`; `offset` is the surface's top-left corner from the layout's origin. Null when
// memory runs out.
cairo_surface_t* RenderCoverage(PangoLayout* layout, const PangoRectangle& ink, int margin, POINT* offset) {
    *offset = POINT{ink.x - margin, ink.y - margin};
    cairo_surface_t* coverage =
        cairo_image_surface_create(CAIRO_FORMAT_A8, ink.width + 2 * margin, ink.height + 2 * margin);
    if (cairo_surface_status(coverage) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(coverage);
        return nullptr;
    }
    cairo_t* cr = cairo_create(coverage);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_move_to(cr, -offset->x, -offset->y);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_surface_flush(coverage);
    return coverage;
}

// A pixman view of an A8 surface's pixels.
pixman_image_t* A8View(cairo_surface_t* coverage) {
    return pixman_image_create_bits(
        PIXMAN_a8, cairo_image_surface_get_width(coverage), cairo_image_surface_get_height(coverage),
        reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(coverage)), cairo_image_surface_get_stride(coverage));
}

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
    PangoRectangle ink;
    pango_layout_get_pixel_extents(layout, &ink, nullptr);
    POINT offset;
    cairo_surface_t* coverage = RenderCoverage(layout, ink, kCoverageMargin, &offset);
    pixman_image_t* image = coverage ? A8View(coverage) : nullptr;
    if (!image) {
        if (coverage) cairo_surface_destroy(coverage);
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

// Puts the coverage `mask()` gives at whole-pixel (x, y) in the DC's colour, on 32-bit pixels
// only (the mask is asked for once that is known); false, having drawn nothing, otherwise.
template <typename GetMask>
bool PaintCoverage(DcObject& dc, GetMask mask, int x, int y, const RECT* clip) {
    POINT origin;
    cairo_surface_t* surface = dc.BeginAccess(&origin);
    const bool applies = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    const TextMask* coverage = applies ? mask() : nullptr;
    pixman_image_t* dest = nullptr;
    if (coverage) {
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
        const int left = x + coverage->offset.x;
        const int top = y + coverage->offset.y;
        RECT area{left, top, left + cairo_image_surface_get_width(coverage->coverage),
                  top + cairo_image_surface_get_height(coverage->coverage)};
        if (clip) {
            area = RECT{std::max(area.left, clip->left), std::max(area.top, clip->top),
                        std::min(area.right, clip->right), std::min(area.bottom, clip->bottom)};
        }
        dc.ForEachClipRect(area, [&](const RECT& r) {
            pixman_image_composite32(PIXMAN_OP_OVER, source, coverage->image, dest, 0, 0, r.left - left, r.top - top,
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

// Puts a laid-out text at whole-pixel (x, y) in the DC's colour by compositing its kept
// coverage, which gives the pixels cairo gives for one run of glyphs: it composites the colour
// through each glyph's coverage, or, where glyphs may overlap, through their sum. Runs drawn
// one after another can differ where they overlap, so only one-run text on a transparent
// background on 32-bit pixels is drawn here; false, having drawn nothing, otherwise.
bool PaintFromMask(DcObject& dc, const LaidText& laid, bool decorated, int x, int y, const RECT* clip) {
    if (decorated || dc.m_state.backMode != TRANSPARENT || !OneRun(laid.Layout())) return false;
    return PaintCoverage(
        dc, [&] { return MaskFor(laid.Layout()); }, x, y, clip);
}

// Numbers in one font (a percentage counting up) are put together from their characters'
// kept glyphs instead of being laid out afresh, which costs many times more than drawing them.
// Where pango sets a font's digits and percent sign side by side on whole pixels, without
// kerning or ligatures (checked once per font, on one text holding every pair of them), a
// number's layout is its characters' glyphs one after another, and its coverage theirs side
// by side: cairo puts each glyph's own coverage at its whole-pixel place and adds them up.
constexpr std::string_view kComposable = "0123456789%";
// A glyph's coverage is kept with more margin than a text's, so that a glyph reaching past
// its ink is cut where the composed text's surface ends, as cairo cuts it.
constexpr int kPieceMargin = 8;
constexpr size_t kMaxComposed = 24;

struct Piece {
    PangoGlyph glyph = 0;
    int width = 0;         // pango units, a whole number of pixels
    PangoRectangle ink{};  // pango units, from the layout's origin
    cairo_surface_t* coverage = nullptr;
    pixman_image_t* image = nullptr;
    POINT offset{};  // of the coverage's corner from the layout's origin, in pixels
};

struct FontPieces {
    explicit FontPieces(HGDIOBJ font) : font(font) {}
    FontPieces(const FontPieces&) = delete;
    FontPieces& operator=(const FontPieces&) = delete;
    ~FontPieces() {
        for (Piece& piece : pieces) {
            if (piece.image) pixman_image_unref(piece.image);
            if (piece.coverage) cairo_surface_destroy(piece.coverage);
        }
    }
    HGDIOBJ font;
    bool usable = false;
    PangoRectangle line{};  // a line's logical extents but for its width
    std::array<Piece, kComposable.size()> pieces;
};

// The one glyph of a one-run, one-line layout, or null.
const PangoGlyphInfo* OnlyGlyph(PangoLayout* layout, int count) {
    if (!OneRun(layout)) return nullptr;
    const auto* run = static_cast<const PangoGlyphItem*>(pango_layout_get_line_readonly(layout, 0)->runs->data);
    if (run->glyphs->num_glyphs != count) return nullptr;
    return run->glyphs->glyphs;
}

bool WholePixels(const PangoGlyphInfo& glyph) {
    return glyph.geometry.width % PANGO_SCALE == 0 && glyph.geometry.x_offset % PANGO_SCALE == 0 &&
           glyph.geometry.y_offset % PANGO_SCALE == 0;
}

// The shortest text in which every ordered pair of the composable characters occurs (a de
// Bruijn sequence: the words "i" and "ij", i < j, in order, then the first character again).
std::string EveryPair() {
    std::string text;
    for (size_t i = 0; i < kComposable.size(); ++i) {
        text += kComposable[i];
        for (size_t j = i + 1; j < kComposable.size(); ++j) {
            text += kComposable[i];
            text += kComposable[j];
        }
    }
    return text + kComposable[0];
}

void MakePieces(const FontObject& font, FontPieces* out) {
    for (size_t i = 0; i < kComposable.size(); ++i) {
        PangoLayout* layout = CreateLayout(font, LayoutText{std::string(1, kComposable[i]), {}});
        const PangoGlyphInfo* glyph = OnlyGlyph(layout, 1);
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout, &ink, &logical);
        Piece& piece = out->pieces[i];
        bool fits = glyph != nullptr && WholePixels(*glyph) && glyph->geometry.x_offset == 0 && logical.x == 0 &&
                    logical.width == glyph->geometry.width && ink.width > 0 && ink.height > 0 &&
                    (i == 0 || (logical.y == out->line.y && logical.height == out->line.height));
        if (fits) {
            piece.glyph = glyph->glyph;
            piece.width = glyph->geometry.width;
            piece.ink = ink;
            out->line = logical;
            PangoRectangle pixels = ink;
            pango_extents_to_pixels(&pixels, nullptr);
            piece.coverage = RenderCoverage(layout, pixels, kPieceMargin, &piece.offset);
            piece.image = piece.coverage ? A8View(piece.coverage) : nullptr;
            fits = piece.image != nullptr;
        }
        g_object_unref(layout);
        if (!fits) return;
    }
    // Side by side, every pair must keep its characters' own glyphs and advances.
    const std::string pairs = EveryPair();
    PangoLayout* layout = CreateLayout(font, LayoutText{pairs, {}});
    const PangoGlyphInfo* glyphs = OnlyGlyph(layout, static_cast<int>(pairs.size()));
    bool alike = glyphs != nullptr;
    for (size_t i = 0; alike && i < pairs.size(); ++i) {
        const Piece& piece = out->pieces[kComposable.find(pairs[i])];
        alike = glyphs[i].glyph == piece.glyph && glyphs[i].geometry.width == piece.width &&
                glyphs[i].geometry.x_offset == 0 && glyphs[i].geometry.y_offset == 0;
    }
    g_object_unref(layout);
    out->usable = alike;
}

// The kept pieces of `font`'s composable characters. They cost as much as a score of
// layouts, so they are made only for a font that has laid numbers out often: not for the
// fonts made for one call.
const FontPieces* PiecesFor(const FontObject& font) {
    constexpr size_t kKept = 8;
    constexpr int kNumbersFirst = 8;
    struct Asked {
        HGDIOBJ font;
        int times;
    };
    thread_local std::vector<std::unique_ptr<FontPieces>> kept;
    thread_local std::vector<Asked> asked;  // fonts without pieces yet, most recent first
    for (size_t i = 0; i < kept.size(); ++i) {
        if (kept[i]->font != font.m_handle) continue;
        std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                    kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return kept.front().get();
    }
    auto seen = std::find_if(asked.begin(), asked.end(), [&](const Asked& a) { return a.font == font.m_handle; });
    if (seen == asked.end()) {
        if (asked.size() == 2 * kKept) asked.pop_back();
        seen = asked.insert(asked.begin(), Asked{font.m_handle, 0});
    }
    if (++seen->times < kNumbersFirst) return nullptr;
    asked.erase(seen);
    auto pieces = std::make_unique<FontPieces>(font.m_handle);
    MakePieces(font, pieces.get());
    if (kept.size() == kKept) kept.pop_back();
    kept.insert(kept.begin(), std::move(pieces));
    return kept.front().get();
}

// A number put together from its characters: what a layout of it would measure, and its coverage.
struct ComposedText {
    ComposedText() = default;
    ComposedText(const ComposedText&) = delete;
    ComposedText& operator=(const ComposedText&) = delete;
    ~ComposedText() {
        if (mask.image) pixman_image_unref(mask.image);
        if (mask.coverage) cairo_surface_destroy(mask.coverage);
    }
    HGDIOBJ font = nullptr;
    std::string text;
    PixelExtents extents;
    int logicalWidth = 0;
    TextMask mask;
};

std::unique_ptr<ComposedText> Compose(const FontPieces& pieces, std::string_view text) {
    auto composed = std::make_unique<ComposedText>();
    composed->font = pieces.font;
    composed->text = text;
    // Pango's extents of the glyphs one after another: advances added up, ink rectangles joined.
    int x = 0;
    PangoRectangle ink{};
    std::vector<int> places;
    places.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const Piece& piece = pieces.pieces[kComposable.find(text[i])];
        const PangoRectangle glyphInk{piece.ink.x + x, piece.ink.y, piece.ink.width, piece.ink.height};
        if (i == 0) {
            ink = glyphInk;
        } else {
            const int left = std::min(ink.x, glyphInk.x);
            const int top = std::min(ink.y, glyphInk.y);
            ink.width = std::max(ink.x + ink.width, glyphInk.x + glyphInk.width) - left;
            ink.height = std::max(ink.y + ink.height, glyphInk.y + glyphInk.height) - top;
            ink.x = left;
            ink.y = top;
        }
        places.push_back(x / PANGO_SCALE);
        x += piece.width;
    }
    composed->logicalWidth = x;
    const double scale = PANGO_SCALE;
    const int top = static_cast<int>(std::floor(pieces.line.y / scale));
    const int bottom = static_cast<int>(std::ceil((pieces.line.y + pieces.line.height) / scale));
    composed->extents = PixelExtents{0, top, static_cast<int>(std::ceil(x / scale)), bottom - top};
    pango_extents_to_pixels(&ink, nullptr);
    composed->mask.offset = POINT{ink.x - kCoverageMargin, ink.y - kCoverageMargin};
    composed->mask.coverage =
        cairo_image_surface_create(CAIRO_FORMAT_A8, ink.width + 2 * kCoverageMargin, ink.height + 2 * kCoverageMargin);
    if (cairo_surface_status(composed->mask.coverage) != CAIRO_STATUS_SUCCESS) return nullptr;
    composed->mask.image = A8View(composed->mask.coverage);
    if (!composed->mask.image) return nullptr;
    for (size_t i = 0; i < text.size(); ++i) {
        const Piece& piece = pieces.pieces[kComposable.find(text[i])];
        pixman_image_composite32(
            PIXMAN_OP_ADD, piece.image, nullptr, composed->mask.image, 0, 0, 0, 0,
            places[i] + piece.offset.x - composed->mask.offset.x, piece.offset.y - composed->mask.offset.y,
            cairo_image_surface_get_width(piece.coverage), cairo_image_surface_get_height(piece.coverage));
    }
    cairo_surface_mark_dirty(composed->mask.coverage);
    return composed;
}

// `text` in `font` put together from its characters, from the thread's recent ones; null when
// the text or the font does not allow it.
std::atomic<bool> g_numbersComposed{true};

const ComposedText* ComposedFor(const FontObject& font, std::string_view text) {
    if (!g_numbersComposed.load(std::memory_order_relaxed) || text.empty() || text.size() > kMaxComposed ||
        text.find_first_not_of(kComposable) != std::string_view::npos || font.m_handle == nullptr) {
        return nullptr;
    }
    constexpr size_t kKept = 8;
    thread_local std::vector<std::unique_ptr<ComposedText>> kept;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (kept[i]->font != font.m_handle || kept[i]->text != text) continue;
        std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                    kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return kept.front().get();
    }
    const FontPieces* pieces = PiecesFor(font);
    if (pieces == nullptr || !pieces->usable) return nullptr;
    std::unique_ptr<ComposedText> composed = Compose(*pieces, text);
    if (!composed) return nullptr;
    if (kept.size() == kKept) kept.pop_back();
    kept.insert(kept.begin(), std::move(composed));
    return kept.front().get();
}

}  // namespace

namespace platform::gdi {

void SetNumbersComposed(bool composed) {
    g_numbersComposed.store(composed, std::memory_order_relaxed);
}

}  // namespace platform::gdi

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
    const ComposedText* composed =
        !(format & DT_CALCRECT) && !widthSet && !decorated && dc->m_state.backMode == TRANSPARENT
            ? ComposedFor(*dc->m_state.font, prepared.utf8)
            : nullptr;
    std::optional<LaidText> laid;
    if (!composed) laid.emplace(LayOut(*dc->m_state.font, std::move(prepared), shape));
    const PixelExtents extents = composed ? composed->extents : laid->Extents();
    const int logicalWidth = composed ? composed->logicalWidth : laid->LogicalWidth();
    const int textHeight = extents.height;

    if (format & DT_CALCRECT) {
        // Only the width of the text counts, wherever the alignment put it.
        const int textWidth = noText ? 0 : extents.width;
        rect->right = static_cast<LONG>(std::min<int64_t>(int64_t{rect->left} + textWidth, INT32_MAX));
        rect->bottom = static_cast<LONG>(std::min<int64_t>(int64_t{rect->top} + textHeight, INT32_MAX));
        return textHeight;
    }

    double x = rect->left;
    if (!widthSet) {
        const double free = rectWidth - logicalWidth / static_cast<double>(PANGO_SCALE);
        if (shape.alignment == PANGO_ALIGN_CENTER) x += std::floor(free / 2);
        if (shape.alignment == PANGO_ALIGN_RIGHT) x += std::floor(free);
    }
    int y = rect->top;
    if (singleLine && (format & DT_VCENTER)) y += (rectHeight - textHeight) / 2;
    if (singleLine && (format & DT_BOTTOM)) y = rect->bottom - textHeight;

    const RECT clip = *rect;
    const RECT* clipTo = (format & DT_NOCLIP) ? nullptr : &clip;
    const bool wholePixel = x == std::floor(x) && std::abs(x) < INT32_MAX;
    const bool drawn = wholePixel && composed &&
                       PaintCoverage(
                           *dc, [&] { return &composed->mask; }, static_cast<int>(x), y, clipTo);
    if (!drawn) {
        if (!laid) laid.emplace(LayOut(*dc->m_state.font, std::move(prepared), shape));
        if (!wholePixel || !PaintFromMask(*dc, *laid, decorated, static_cast<int>(x), y, clipTo)) {
            DcPainter painter(*dc, clipTo);
            if (painter) PaintLayout(painter.Cr(), dc->m_state, *laid, x, y);
        }
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
