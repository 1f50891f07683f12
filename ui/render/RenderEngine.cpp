#include "ui/render/RenderEngine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

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

// A memory DC with one bitmap selected, for the blits of one draw call.
class CSourceDc {
public:
    explicit CSourceDc(HBITMAP bitmap) : m_dc(CreateCompatibleDC(nullptr)) {
        if (m_dc) m_previous = SelectObject(m_dc, bitmap);
    }
    ~CSourceDc() {
        if (m_previous) SelectObject(m_dc, m_previous);
        if (m_dc) DeleteDC(m_dc);
    }
    CSourceDc(const CSourceDc&) = delete;
    CSourceDc& operator=(const CSourceDc&) = delete;
    HDC Dc() const { return m_previous ? m_dc : nullptr; }

private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
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
    CSavedDc saved(hdc);
    if (!sourceDc.Dc() || !saved) return false;
    if (IntersectClipRect(hdc, clip.left, clip.top, clip.right, clip.bottom) == RGN_ERROR) return false;

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
    UIImageSpec base;
    if (!ParseImageSpec(spec, &base)) return false;
    if (!modifier.empty()) {
        UIImageSpec changes;
        if (!ParseImageSpec(modifier, &changes)) return false;
        base = MergeImageSpec(base, changes);
    }
    UIImageRef ref;
    if (base.res && !base.res->empty()) {
        ref.origin = UIImageRef::Origin::Resource;
        ref.name = *base.res;
        ref.resType = base.resType.value_or(std::wstring());
    } else if (base.file && !base.file->empty()) {
        ref.name = *base.file;
    } else {
        return false;
    }
    ref.mask = base.mask;
    const UIImageInfo* image = images->FindImage(ref);
    if (!image) return false;

    UIImageDrawParams params;
    // A source reaching past the image keeps the part that lies on it.
    const RECT whole{0, 0, image->width, image->height};
    params.source = Intersect(base.source.value_or(whole), whole);
    if (IsEmpty(params.source)) return false;
    if (base.dest) {
        // Skins give any numbers; the sum must not overflow. Clamped, it still lies outside the item.
        auto offset = [](LONG origin, LONG delta) {
            return static_cast<LONG>(std::clamp<int64_t>(int64_t{origin} + delta, std::numeric_limits<LONG>::min(),
                                                         std::numeric_limits<LONG>::max()));
        };
        const RECT& d = *base.dest;
        params.dest = RECT{offset(item.left, d.left), offset(item.top, d.top), offset(item.left, d.right),
                           offset(item.top, d.bottom)};
    } else {
        params.dest = item;
    }
    params.clip = Intersect(item, paint);
    if (base.corner) params.corner = *base.corner;
    params.fade = base.fade.value_or(255);
    params.hole = base.hole.value_or(false);
    params.xTiled = base.xTiled.value_or(false);
    params.yTiled = base.yTiled.value_or(false);
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
