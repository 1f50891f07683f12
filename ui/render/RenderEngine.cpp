#include "ui/render/RenderEngine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "ui/skin/ImageSpec.h"

namespace SkinUI {
namespace {

bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

COLORREF TextColour(DWORD argb) {
    return RGB(static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb));
}

// Restores the DC's state (objects, colours, clip) however the call ends.
class CSavedDc {
public:
    explicit CSavedDc(HDC hdc) : m_hdc(hdc), m_level(SaveDC(hdc)) {}
    ~CSavedDc() {
        if (m_level > 0) RestoreDC(m_hdc, m_level);
    }
    CSavedDc(const CSavedDc&) = delete;
    CSavedDc& operator=(const CSavedDc&) = delete;
    explicit operator bool() const { return m_level > 0; }

private:
    HDC m_hdc;
    int m_level;
};

// A memory DC with one bitmap selected, for the blits of one draw call. The DC is kept per
// thread and lent to one user at a time (making one for every image drawn cost more than a
// small draw); a nested user gets a DC of its own.
class CSourceDc {
public:
    explicit CSourceDc(HBITMAP bitmap) {
        Kept& kept = KeptDc();
        if (kept.dc != nullptr && !kept.lent) {
            kept.lent = true;
            m_kept = &kept;
            m_dc = kept.dc;
        } else {
            m_dc = CreateCompatibleDC(nullptr);
        }
        if (m_dc) m_previous = SelectObject(m_dc, bitmap);
    }
    ~CSourceDc() {
        if (m_previous) SelectObject(m_dc, m_previous);
        if (m_kept != nullptr) {
            m_kept->lent = false;
        } else if (m_dc) {
            DeleteDC(m_dc);
        }
    }
    CSourceDc(const CSourceDc&) = delete;
    CSourceDc& operator=(const CSourceDc&) = delete;
    HDC Dc() const { return m_previous ? m_dc : nullptr; }

private:
    struct Kept {
        HDC dc = CreateCompatibleDC(nullptr);
        bool lent = false;
        Kept() = default;
        Kept(const Kept&) = delete;
        Kept& operator=(const Kept&) = delete;
        ~Kept() {
            if (dc != nullptr) DeleteDC(dc);
        }
    };
    static Kept& KeptDc() {
        thread_local Kept kept;
        return kept;
    }

    Kept* m_kept = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// The DC's clip narrowed to a rectangle until the end of the scope, set up on first need.
class CNarrowedClip {
public:
    CNarrowedClip(HDC hdc, const RECT& rect) : m_hdc(hdc), m_rect(rect) {}
    ~CNarrowedClip() {
        if (m_active) platform::RestoreClip(m_hdc, m_saved);
    }
    CNarrowedClip(const CNarrowedClip&) = delete;
    CNarrowedClip& operator=(const CNarrowedClip&) = delete;
    bool Apply() {
        if (m_active) return true;
        if (!platform::NarrowClip(m_hdc, m_rect, &m_saved)) return false;
        m_active = true;
        return true;
    }

private:
    HDC m_hdc;
    RECT m_rect;
    platform::DcClip m_saved;
    bool m_active = false;
};

// Splits [from, to) into three parts with borders `first` and `last` taken from it; borders
// that do not fit together shrink in proportion.
void SplitSpan(int64_t from, int64_t to, int64_t first, int64_t last, int64_t edges[4]) {
    const int64_t length = to - from;
    first = std::max<int64_t>(first, 0);
    last = std::max<int64_t>(last, 0);
    if (first + last > length) {
        const int64_t total = first + last;
        first = total ? length * first / total : 0;
        last = length - first;
    }
    edges[0] = from;
    edges[1] = from + first;
    edges[2] = to - last;
    edges[3] = to;
}

struct Cell {
    int64_t destFrom, destTo, sourceFrom, sourceTo;
    bool tiled;
};

// One axis of a tiled or stretched cell: the pieces (dest from, dest to, source from, source
// to). Tiles outside [clipFrom, clipTo) are skipped without visiting them, so a huge
// destination costs no more than the visible part.
template <typename Emit>
void ForEachPiece(const Cell& cell, int64_t clipFrom, int64_t clipTo, const Emit& emit) {
    const int64_t sourceLength = cell.sourceTo - cell.sourceFrom;
    if (!cell.tiled || sourceLength <= 0) {
        emit(cell.destFrom, cell.destTo, cell.sourceFrom, cell.sourceTo);
        return;
    }
    int64_t first = cell.destFrom;
    if (clipFrom > first) first += (clipFrom - first) / sourceLength * sourceLength;
    const int64_t last = std::min(cell.destTo, clipTo);
    for (int64_t at = first; at < last; at += sourceLength) {
        const int64_t length = std::min(sourceLength, cell.destTo - at);
        emit(at, at + length, cell.sourceFrom, cell.sourceFrom + length);
    }
}

bool FitsInt(int64_t value) {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// Whether DrawImage with `params` gives every pixel of `area` an opaque pixel of the image
// (its pixels replace what was there). Conservative: anything that could leave a pixel
// untouched or translucent answers false.
bool PaintsOpaquely(HDC hdc, const UIImageInfo& image, const UIImageDrawParams& params, const RECT& area) {
    if (IsEmpty(area)) return true;
    const RECT drawn = Intersect(params.clip, params.dest);
    if (params.fade != 255 || params.hole || GetStretchBltMode(hdc) == HALFTONE || area.left < drawn.left ||
        area.top < drawn.top || area.right > drawn.right || area.bottom > drawn.bottom ||
        !FitsInt(int64_t{params.dest.right} - params.dest.left) ||
        !FitsInt(int64_t{params.dest.bottom} - params.dest.top) || !image.IsOpaque(params.source)) {
        return false;
    }
    // Every cell with room in the destination must take pixels from the source (a nine-grid
    // whose corners fill the source leaves a stretched middle empty).
    int64_t destX[4], destY[4], sourceX[4], sourceY[4];
    const RECT& source = params.source;
    SplitSpan(source.left, source.right, params.corner.left, params.corner.right, sourceX);
    SplitSpan(source.top, source.bottom, params.corner.top, params.corner.bottom, sourceY);
    SplitSpan(params.dest.left, params.dest.right, sourceX[1] - sourceX[0], sourceX[3] - sourceX[2], destX);
    SplitSpan(params.dest.top, params.dest.bottom, sourceY[1] - sourceY[0], sourceY[3] - sourceY[2], destY);
    for (int k = 0; k < 3; ++k) {
        if (destX[k + 1] > destX[k] && sourceX[k + 1] <= sourceX[k]) return false;
        if (destY[k + 1] > destY[k] && sourceY[k + 1] <= sourceY[k]) return false;
    }
    return true;
}

// An image spec's text parsed, kept by the text, most recently used first: a paint draws the
// same few specs again and again, and parsing one cost more than drawing a small image.
// Parsing depends on the text alone, so an entry never goes stale. An entry stays at its
// address until it is evicted, which needs more than one newer entry.
struct ParsedSpec {
    size_t hash = 0;
    std::wstring text;
    bool ok = false;
    UIImageSpec spec;
};

const ParsedSpec& ParseCached(std::wstring_view text) {
    constexpr size_t kKept = 32;
    thread_local std::vector<std::unique_ptr<ParsedSpec>> cache;
    // Specs made at every paint (a bar's width) fill the cache with texts that differ in a
    // digit or two: the hash spares comparing them all.
    const size_t hash = std::hash<std::wstring_view>{}(text);
    for (size_t i = 0; i < cache.size(); ++i) {
        if (cache[i]->hash != hash || cache[i]->text != text) continue;
        std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                    cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return *cache.front();
    }
    // The evicted entry is filled again, its text keeping its room.
    std::unique_ptr<ParsedSpec> entry;
    if (cache.size() == kKept) {
        entry = std::move(cache.back());
        cache.pop_back();
    } else {
        entry = std::make_unique<ParsedSpec>();
    }
    entry->hash = hash;
    entry->text.assign(text);
    entry->ok = ParseImageSpec(text, &entry->spec);
    cache.insert(cache.begin(), std::move(entry));
    return *cache.front();
}

// The key `changes` gives, else the base spec's.
template <typename T>
const std::optional<T>& Pick(const UIImageSpec& base, const UIImageSpec* changes, std::optional<T> UIImageSpec::*key) {
    return changes != nullptr && (changes->*key).has_value() ? changes->*key : base.*key;
}

// The image and the drawing parameters that `base`, with the keys of `changes` over it, gives
// inside `item` limited to `paint` (see DrawImageSpec).
bool ResolveImageSpec(IImageSourceUI* images, const RECT& item, const RECT& paint, const UIImageSpec& base,
                      const UIImageSpec* changes, const UIImageInfo** image, UIImageDrawParams* params) {
    const std::optional<std::wstring>& res = Pick(base, changes, &UIImageSpec::res);
    const std::optional<std::wstring>& file = Pick(base, changes, &UIImageSpec::file);
    // Kept from call to call: its strings keep their room, and finding an image allocates nothing.
    thread_local UIImageRef ref;
    if (res && !res->empty()) {
        ref.origin = UIImageRef::Origin::Resource;
        ref.name.assign(*res);
        const std::optional<std::wstring>& resType = Pick(base, changes, &UIImageSpec::resType);
        ref.resType.assign(resType ? std::wstring_view(*resType) : std::wstring_view());
    } else if (file && !file->empty()) {
        ref.origin = UIImageRef::Origin::SkinFile;
        ref.name.assign(*file);
        ref.resType.clear();
    } else {
        return false;
    }
    ref.mask = Pick(base, changes, &UIImageSpec::mask);
    *image = images->FindImage(ref);
    if (*image == nullptr) return false;

    // A source reaching past the image keeps the part that lies on it.
    const RECT whole{0, 0, (*image)->width, (*image)->height};
    params->source = Intersect(Pick(base, changes, &UIImageSpec::source).value_or(whole), whole);
    if (IsEmpty(params->source)) return false;
    if (const std::optional<RECT>& dest = Pick(base, changes, &UIImageSpec::dest)) {
        // Skins give any numbers; the sum must not overflow. Clamped, it still lies outside the item.
        auto offset = [](LONG origin, LONG delta) {
            return static_cast<LONG>(std::clamp<int64_t>(int64_t{origin} + delta, std::numeric_limits<LONG>::min(),
                                                         std::numeric_limits<LONG>::max()));
        };
        const RECT& d = *dest;
        params->dest = RECT{offset(item.left, d.left), offset(item.top, d.top), offset(item.left, d.right),
                            offset(item.top, d.bottom)};
    } else {
        params->dest = item;
    }
    params->clip = Intersect(item, paint);
    params->corner = Pick(base, changes, &UIImageSpec::corner).value_or(RECT{});
    params->fade = Pick(base, changes, &UIImageSpec::fade).value_or(255);
    params->hole = Pick(base, changes, &UIImageSpec::hole).value_or(false);
    params->xTiled = Pick(base, changes, &UIImageSpec::xTiled).value_or(false);
    params->yTiled = Pick(base, changes, &UIImageSpec::yTiled).value_or(false);
    return true;
}

}  // namespace

bool CUIRenderEngine::FillColor(HDC hdc, const RECT& rect, DWORD argb) {
    return platform::FillRectAlpha(hdc, rect, argb) != FALSE;
}

bool CUIRenderEngine::StrokeLine(HDC hdc, const RECT& fromTo, int width, DWORD argb, int penStyle) {
    return platform::DrawLineAlpha(hdc, POINT{fromTo.left, fromTo.top}, POINT{fromTo.right, fromTo.bottom}, width, argb,
                                   penStyle) != FALSE;
}

bool CUIRenderEngine::StrokeRect(HDC hdc, const RECT& rect, int size, DWORD argb) {
    if (size <= 0 || IsEmpty(rect)) return GetObjectType(hdc) != 0;
    // Four bands that do not overlap, so a translucent colour is blended once everywhere.
    const LONG band = static_cast<LONG>(size);
    const LONG innerTop = std::min(rect.bottom, rect.top + band);
    const LONG innerBottom = std::max(innerTop, rect.bottom - band);
    const RECT bands[] = {
        {rect.left, rect.top, rect.right, innerTop},
        {rect.left, innerBottom, rect.right, rect.bottom},
        {rect.left, innerTop, std::min(rect.right, rect.left + band), innerBottom},
        {std::max(rect.left + band, rect.right - band), innerTop, rect.right, innerBottom},
    };
    bool ok = true;
    for (const RECT& part : bands)
        ok = platform::FillRectAlpha(hdc, part, argb) && ok;
    return ok;
}

bool CUIRenderEngine::StrokeRoundRect(HDC hdc, const RECT& rect, int size, int ellipseWidth, int ellipseHeight,
                                      DWORD argb) {
    if (GetObjectType(hdc) == 0) return false;
    if (size <= 0 || IsEmpty(rect) || (argb >> 24) == 0) return true;
    // The pen has no alpha, so the frame is drawn opaque on a transparent layer and that
    // layer blended with the colour's alpha.
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    DWORD* bits = nullptr;
    HBITMAP layer = platform::CreateTopDownBitmap(hdc, width, height, &bits);
    if (!layer || !bits) return false;
    std::memset(bits, 0, static_cast<size_t>(width) * height * 4);
    bool ok = false;
    {
        CSourceDc layerDc(layer);
        HPEN pen = CreatePen(PS_SOLID, size, TextColour(argb));
        if (layerDc.Dc() && pen) {
            HGDIOBJ oldPen = SelectObject(layerDc.Dc(), pen);
            HGDIOBJ oldBrush = SelectObject(layerDc.Dc(), GetStockObject(NULL_BRUSH));
            ok = RoundRect(layerDc.Dc(), 0, 0, width, height, ellipseWidth, ellipseHeight) &&
                 AlphaBlend(hdc, rect.left, rect.top, width, height, layerDc.Dc(), 0, 0, width, height,
                            BLENDFUNCTION{AC_SRC_OVER, 0, static_cast<BYTE>(argb >> 24), AC_SRC_ALPHA});
            SelectObject(layerDc.Dc(), oldBrush);
            SelectObject(layerDc.Dc(), oldPen);
        }
        if (pen) DeleteObject(pen);
    }
    DeleteObject(layer);
    return ok;
}

bool CUIRenderEngine::DrawImage(HDC hdc, const UIImageInfo& image, const UIImageDrawParams& params) {
    const RECT& source = params.source;
    if (!image.bitmap || source.left < 0 || source.top < 0 || source.right > image.width ||
        source.bottom > image.height || IsEmpty(source)) {
        return false;
    }
    const RECT clip = Intersect(params.clip, params.dest);
    if (IsEmpty(clip) || params.fade == 0) return GetObjectType(hdc) != 0;

    CSourceDc sourceDc(image.bitmap);
    if (!sourceDc.Dc() || GetObjectType(hdc) == 0) return false;
    // Pieces inside the clip are drawn as they are and pieces drawn one to one are cut to it;
    // only a stretched piece that reaches out of the clip needs the DC's clip narrowed.
    CNarrowedClip narrowed(hdc, clip);

    int64_t destX[4], destY[4], sourceX[4], sourceY[4];
    SplitSpan(source.left, source.right, params.corner.left, params.corner.right, sourceX);
    SplitSpan(source.top, source.bottom, params.corner.top, params.corner.bottom, sourceY);
    // Corners keep their source size unless the destination is too small for them.
    SplitSpan(params.dest.left, params.dest.right, sourceX[1] - sourceX[0], sourceX[3] - sourceX[2], destX);
    SplitSpan(params.dest.top, params.dest.bottom, sourceY[1] - sourceY[0], sourceY[3] - sourceY[2], destY);

    const BLENDFUNCTION blend{AC_SRC_OVER, 0, params.fade, AC_SRC_ALPHA};
    bool ok = true;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (params.hole && row == 1 && column == 1) continue;
            const Cell across{destX[column], destX[column + 1], sourceX[column], sourceX[column + 1],
                              params.xTiled && column == 1};
            const Cell down{destY[row], destY[row + 1], sourceY[row], sourceY[row + 1], params.yTiled && row == 1};
            if (across.destTo <= across.destFrom || down.destTo <= down.destFrom ||
                across.sourceTo <= across.sourceFrom || down.sourceTo <= down.sourceFrom) {
                continue;
            }
            if (across.destTo <= clip.left || across.destFrom >= clip.right || down.destTo <= clip.top ||
                down.destFrom >= clip.bottom) {
                continue;
            }
            ForEachPiece(down, clip.top, clip.bottom, [&](int64_t y0, int64_t y1, int64_t sy0, int64_t sy1) {
                if (y1 <= clip.top || y0 >= clip.bottom) return;
                ForEachPiece(across, clip.left, clip.right, [&](int64_t x0, int64_t x1, int64_t sx0, int64_t sx1) {
                    if (x1 <= clip.left || x0 >= clip.right) return;
                    const bool inside = x0 >= clip.left && x1 <= clip.right && y0 >= clip.top && y1 <= clip.bottom;
                    if (!inside && x1 - x0 == sx1 - sx0 && y1 - y0 == sy1 - sy0) {
                        const int64_t cutLeft = std::max<int64_t>(clip.left - x0, 0);
                        const int64_t cutTop = std::max<int64_t>(clip.top - y0, 0);
                        const int64_t cutRight = std::max<int64_t>(x1 - clip.right, 0);
                        const int64_t cutBottom = std::max<int64_t>(y1 - clip.bottom, 0);
                        x0 += cutLeft;
                        sx0 += cutLeft;
                        y0 += cutTop;
                        sy0 += cutTop;
                        x1 -= cutRight;
                        sx1 -= cutRight;
                        y1 -= cutBottom;
                        sy1 -= cutBottom;
                    } else if (!inside && !narrowed.Apply()) {
                        ok = false;
                        return;
                    }
                    if (!FitsInt(x0) || !FitsInt(x1 - x0) || !FitsInt(y0) || !FitsInt(y1 - y0)) {
                        ok = false;
                        return;
                    }
                    ok = AlphaBlend(hdc, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                                    static_cast<int>(y1 - y0), sourceDc.Dc(), static_cast<int>(sx0),
                                    static_cast<int>(sy0), static_cast<int>(sx1 - sx0), static_cast<int>(sy1 - sy0),
                                    blend) &&
                         ok;
                });
            });
        }
    }
    return ok;
}

bool CUIRenderEngine::DrawImageSpec(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                                    std::wstring_view spec, std::wstring_view modifier) {
    if (!hdc || !images) return false;
    const ParsedSpec& base = ParseCached(spec);
    if (!base.ok) return false;
    const ParsedSpec* changes = modifier.empty() ? nullptr : &ParseCached(modifier);
    if (changes != nullptr && !changes->ok) return false;
    const UIImageInfo* image = nullptr;
    UIImageDrawParams params;
    if (!ResolveImageSpec(images, item, paint, base.spec, changes ? &changes->spec : nullptr, &image, &params)) {
        return false;
    }
    return DrawImage(hdc, *image, params);
}

bool CUIRenderEngine::ImageSpecHides(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                                     std::wstring_view spec, const RECT& dest, std::wstring_view under) {
    if (!hdc || !images) return false;
    const ParsedSpec& top = ParseCached(spec);
    const ParsedSpec& below = ParseCached(under);
    if (!top.ok || !below.ok) return false;
    UIImageSpec changes;
    changes.dest = dest;
    const UIImageInfo* image = nullptr;
    UIImageDrawParams params;
    const UIImageInfo* belowImage = nullptr;
    UIImageDrawParams belowParams;
    if (!ResolveImageSpec(images, item, paint, top.spec, &changes, &image, &params) ||
        !ResolveImageSpec(images, item, paint, below.spec, nullptr, &belowImage, &belowParams)) {
        return false;
    }
    return PaintsOpaquely(hdc, *image, params, Intersect(belowParams.clip, belowParams.dest));
}

bool CUIRenderEngine::DrawImageSpecAt(HDC hdc, IImageSourceUI* images, const RECT& item, const RECT& paint,
                                      std::wstring_view spec, const RECT& dest) {
    if (!hdc || !images) return false;
    const ParsedSpec& base = ParseCached(spec);
    if (!base.ok) return false;
    UIImageSpec changes;
    changes.dest = dest;
    const UIImageInfo* image = nullptr;
    UIImageDrawParams params;
    if (!ResolveImageSpec(images, item, paint, base.spec, &changes, &image, &params)) return false;
    return DrawImage(hdc, *image, params);
}

bool CUIRenderEngine::DrawPlainText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text, DWORD argb,
                                    int font, UINT format) {
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return false;
    CSavedDc saved(hdc);
    if (!saved) return false;
    if (HFONT handle = fonts ? fonts->FontHandleAt(font) : nullptr) SelectObject(hdc, handle);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, TextColour(argb));
    // Skin texts never use '&' mnemonics; without DT_NOPREFIX "A&B" would lose its '&'.
    const int height = DrawTextW(hdc, text.data(), static_cast<int>(text.size()), &rect, format | DT_NOPREFIX);
    return height != 0 || text.empty();
}

bool CUIRenderEngine::DrawPlainOrMarkedText(HDC hdc, IFontSourceUI* fonts, RECT& rect, std::wstring_view text,
                                            DWORD argb, int font, UINT format, bool marked) {
    if (!marked) return DrawPlainText(hdc, fonts, rect, text, argb, font, format);
    int links = 0;
    return DrawMarkedText(hdc, fonts, rect, text, argb, nullptr, nullptr, links, format);
}

}  // namespace SkinUI
