#include <cstdint>
#include <cstring>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"

using namespace platform::gdi;

namespace {

enum class Compose { Copy, Blend };

// The part of the source rectangle that lies on the source, copied out: the source may
// be the destination itself, a bottom-up bitmap, or (without per-pixel alpha) need its
// alpha ignored. Null when nothing of it is on the source or memory runs out.
struct SourceCopy {
    cairo_surface_t* surface = nullptr;
    POINT offset;  // of the copy inside the source rectangle
    bool whole = false;
};

SourceCopy CopySource(DcObject& source, const RECT& rect, cairo_format_t format) {
    SourceCopy result;
    const RECT drawable = source.Drawable();
    const RECT visible{std::max(rect.left, drawable.left), std::max(rect.top, drawable.top),
                       std::min(rect.right, drawable.right), std::min(rect.bottom, drawable.bottom)};
    if (visible.left >= visible.right || visible.top >= visible.bottom) return result;
    cairo_surface_t* copy =
        cairo_image_surface_create(format, visible.right - visible.left, visible.bottom - visible.top);
    if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        return result;
    }
    POINT origin;
    cairo_surface_t* from = source.BeginAccess(&origin);
    const uint8_t* fromData = cairo_image_surface_get_data(from);
    const int fromStride = cairo_image_surface_get_stride(from);
    uint8_t* toData = cairo_image_surface_get_data(copy);
    const int toStride = cairo_image_surface_get_stride(copy);
    const size_t rowBytes = static_cast<size_t>(visible.right - visible.left) * 4;
    for (LONG y = visible.top; y < visible.bottom; ++y) {
        std::memcpy(toData + static_cast<size_t>(y - visible.top) * toStride,
                    fromData + static_cast<size_t>(y + origin.y) * fromStride + (visible.left + origin.x) * 4,
                    rowBytes);
    }
    source.EndAccess(false);
    cairo_surface_mark_dirty(copy);
    result.surface = copy;
    result.offset = POINT{visible.left - rect.left, visible.top - rect.top};
    result.whole = visible.left == rect.left && visible.top == rect.top && visible.right == rect.right &&
                   visible.bottom == rect.bottom;
    return result;
}

bool FitsInt(int64_t value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

BOOL Transfer(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX, int sourceY,
              int sourceWidth, int sourceHeight, Compose compose, const BLENDFUNCTION& blend) {
    auto dest = LookupDc(destHandle);
    auto source = LookupDc(sourceHandle);
    if (!dest || !source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
    if (!FitsInt(int64_t{x} + width) || !FitsInt(int64_t{y} + height) || !FitsInt(int64_t{sourceX} + sourceWidth) ||
        !FitsInt(int64_t{sourceY} + sourceHeight)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT sourceRect{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight};
    const bool perPixelAlpha = compose == Compose::Copy || (blend.AlphaFormat & AC_SRC_ALPHA);
    if (compose == Compose::Blend) {
        const SIZE extent = source->Extent();
        if (blend.BlendOp != AC_SRC_OVER || sourceRect.left < 0 || sourceRect.top < 0 || sourceRect.right > extent.cx ||
            sourceRect.bottom > extent.cy) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (blend.SourceConstantAlpha == 0) return TRUE;
    }
    const RECT destRect{x, y, x + width, y + height};
    DcPainter painter(*dest, &destRect);
    if (!painter) return TRUE;
    const SourceCopy copy = CopySource(*source, sourceRect, perPixelAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24);
    if (!copy.surface) {
        // Nothing of the rectangle is on the source: a copy clears, a blend adds nothing.
        if (compose == Compose::Copy) {
            cairo_set_operator(painter.Cr(), CAIRO_OPERATOR_CLEAR);
            cairo_paint(painter.Cr());
        }
        return TRUE;
    }
    cairo_t* cr = painter.Cr();
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(width) / sourceWidth, static_cast<double>(height) / sourceHeight);
    cairo_set_source_surface(cr, copy.surface, copy.offset.x, copy.offset.y);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    const bool exact = width == sourceWidth && height == sourceHeight;
    cairo_pattern_set_filter(
        pattern, !exact && dest->m_state.stretchMode == HALFTONE ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    // Filtering at the edges must not fade into pixels outside the source rectangle; parts
    // of the rectangle off the source stay transparent.
    cairo_pattern_set_extend(pattern, copy.whole ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    if (compose == Compose::Copy) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, blend.SourceConstantAlpha / 255.0);
    }
    cairo_surface_destroy(copy.surface);
    return TRUE;
}

bool SupportedRop(DWORD rop) {
    if (rop == SRCCOPY) return true;
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    if (!SupportedRop(rop)) return FALSE;
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, width, height, Compose::Copy, {});
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
    if (!SupportedRop(rop)) return FALSE;
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, Compose::Copy, {});
}

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, BLENDFUNCTION blend) {
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, Compose::Blend,
                    blend);
}
