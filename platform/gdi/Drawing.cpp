#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <pixman.h>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"

using namespace platform::gdi;

namespace {

constexpr uintptr_t kSystemColourBrushLimit = 32;  // (HBRUSH)(COLOR_x + 1)

// The brush's colour; nullopt for a null brush. False for a bad handle.
bool BrushColour(HBRUSH handle, std::optional<COLORREF>* colour) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value > 0 && value < kSystemColourBrushLimit) {
        *colour = SystemColour(static_cast<int>(value) - 1);
        return true;
    }
    auto brush = Lookup<BrushObject>(handle);
    if (!brush) return false;
    *colour = brush->m_colour;
    return true;
}

std::shared_ptr<DcObject> DcOrFail(HDC hdc) {
    auto dc = LookupDc(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

// Sets the pixels of `rect` inside the clip to `pixel` (premultiplied ARGB), as a fill that
// replaces what is there (an opaque colour, or a clear) does through cairo; written directly,
// because a context and a composite cost far more than filling a bar or a band. False, having
// done nothing, when the surface does not hold ARGB32 pixels.
bool FillPixels(DcObject& dc, const RECT& rect, uint32_t pixel) {
    if (!dc.Meets(rect)) return true;
    POINT origin;
    cairo_surface_t* surface = dc.BeginAccess(&origin);
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        dc.EndAccess(false);
        return false;
    }
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
    const int stride = cairo_image_surface_get_stride(surface) / 4;
    dc.ForEachClipRect(rect, [&](const RECT& r) {
        pixman_fill(data, stride, 32, r.left + origin.x, r.top + origin.y, r.right - r.left, r.bottom - r.top, pixel);
    });
    cairo_surface_mark_dirty(surface);
    dc.EndAccess(true);
    return true;
}

uint32_t OpaquePixel(COLORREF colour) {
    return 0xFF000000u | (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

RECT Normalised(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

void SetDash(cairo_t* cr, int style, double width) {
    // The system's styled-pen patterns, in pen widths.
    static const std::vector<double> kDash{18, 6}, kDot{3, 3}, kDashDot{9, 6, 3, 6}, kDashDotDot{9, 3, 3, 3, 3, 3};
    const std::vector<double>* pattern = style == PS_DASH         ? &kDash
                                         : style == PS_DOT        ? &kDot
                                         : style == PS_DASHDOT    ? &kDashDot
                                         : style == PS_DASHDOTDOT ? &kDashDotDot
                                                                  : nullptr;
    if (!pattern) return;
    std::vector<double> scaled(*pattern);
    for (double& length : scaled)
        length *= width;
    cairo_set_dash(cr, scaled.data(), static_cast<int>(scaled.size()), 0);
}

// Strokes a line so that integer end points cover whole pixels: a pen of odd width
// runs along pixel centres, and the end point itself is left out.
void StrokeLine(cairo_t* cr, POINT from, POINT to, int width, int style) {
    const double w = std::max(width, 1);
    const double centre = (static_cast<int>(w) % 2) ? 0.5 : 0.0;
    double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
    if (from.y == to.y) {
        y0 += centre;
        y1 += centre;
    } else if (from.x == to.x) {
        x0 += centre;
        x1 += centre;
    } else {
        x0 += 0.5;
        y0 += 0.5;
        x1 += 0.5;
        y1 += 0.5;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    }
    cairo_set_line_width(cr, w);
    SetDash(cr, style, w);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

void RoundedPath(cairo_t* cr, double left, double top, double right, double bottom, double rx, double ry) {
    rx = std::min(rx, (right - left) / 2);
    ry = std::min(ry, (bottom - top) / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, left, top, right - left, bottom - top);
        return;
    }
    cairo_new_sub_path(cr);
    auto corner = [&](double cx, double cy, double from, double to) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, from, to);
        cairo_restore(cr);
    };
    corner(right - rx, top + ry, -M_PI / 2, 0);
    corner(right - rx, bottom - ry, 0, M_PI / 2);
    corner(left + rx, bottom - ry, M_PI / 2, M_PI);
    corner(left + rx, top + ry, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// Fills with the selected brush and outlines with the selected pen, inside the box
// (right and bottom excluded).
BOOL FilledShape(HDC hdc, int left, int top, int right, int bottom, double rx, double ry) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    const RECT box = Normalised(left, top, right, bottom);
    if (box.right - box.left < 1 || box.bottom - box.top < 1) return TRUE;
    DcPainter painter(*dc);
    if (!painter) return TRUE;
    cairo_t* cr = painter.Cr();
    const PenObject& pen = *dc->m_state.pen;
    const bool outline = pen.m_style != PS_NULL;
    const double inset = outline ? pen.m_width / 2.0 : 0;
    if (dc->m_state.brush->m_colour) {
        SetSourceColorRef(cr, *dc->m_state.brush->m_colour);
        RoundedPath(cr, box.left + inset, box.top + inset, box.right - inset, box.bottom - inset, rx, ry);
        cairo_fill(cr);
    }
    if (outline) {
        SetSourceColorRef(cr, pen.m_colour);
        cairo_set_line_width(cr, pen.m_width);
        SetDash(cr, pen.m_style, pen.m_width);
        RoundedPath(cr, box.left + inset, box.top + inset, box.right - inset, box.bottom - inset,
                    std::max(0.0, rx - inset), std::max(0.0, ry - inset));
        cairo_stroke(cr);
    }
    return TRUE;
}

}  // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    auto dc = DcOrFail(hdc);
    std::optional<COLORREF> colour;
    if (!dc) return 0;
    if (!rect || !BrushColour(brush, &colour)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!colour || rect->right <= rect->left || rect->bottom <= rect->top) return 1;
    if (FillPixels(*dc, *rect, OpaquePixel(*colour))) return 1;
    DcPainter painter(*dc, rect);
    if (painter) {
        SetSourceColorRef(painter.Cr(), *colour);
        cairo_set_operator(painter.Cr(), CAIRO_OPERATOR_SOURCE);
        cairo_paint(painter.Cr());
    }
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    auto dc = DcOrFail(hdc);
    std::optional<COLORREF> colour;
    if (!dc) return 0;
    if (!rect || !BrushColour(brush, &colour)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!colour || rect->right <= rect->left || rect->bottom <= rect->top) return 1;
    DcPainter painter(*dc);
    if (painter) {
        cairo_t* cr = painter.Cr();
        SetSourceColorRef(cr, *colour);
        cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        cairo_rectangle(cr, rect->left + 1, rect->top + 1, rect->right - rect->left - 2, rect->bottom - rect->top - 2);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
    }
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (rect->right <= rect->left || rect->bottom <= rect->top) return TRUE;
    DcPainter painter(*dc, rect);
    if (painter) {
        // White minus the colour, per channel; alpha stays.
        cairo_set_source_rgb(painter.Cr(), 1, 1, 1);
        cairo_set_operator(painter.Cr(), CAIRO_OPERATOR_DIFFERENCE);
        cairo_paint(painter.Cr());
    }
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    return FilledShape(hdc, left, top, right, bottom, 0, 0);
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return FilledShape(hdc, left, top, right, bottom, std::abs(ellipseWidth) / 2.0, std::abs(ellipseHeight) / 2.0);
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->m_state.position;
    dc->m_state.position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    const POINT from = dc->m_state.position;
    dc->m_state.position = POINT{x, y};
    const PenObject& pen = *dc->m_state.pen;
    if (pen.m_style == PS_NULL) return TRUE;
    DcPainter painter(*dc);
    if (painter) {
        SetSourceColorRef(painter.Cr(), pen.m_colour);
        StrokeLine(painter.Cr(), from, POINT{x, y}, pen.m_width, pen.m_style);
    }
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    auto dc = LookupDc(hdc);
    if (!dc || x == INT32_MAX || y == INT32_MAX || !dc->Meets(RECT{x, y, x + 1, y + 1})) return CLR_INVALID;
    POINT origin;
    cairo_surface_t* surface = dc->BeginAccess(&origin);
    COLORREF result = CLR_INVALID;
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24) {
        const uint8_t* row = cairo_image_surface_get_data(surface) +
                             static_cast<size_t>(y + origin.y) * cairo_image_surface_get_stride(surface);
        uint32_t pixel = 0;
        std::memcpy(&pixel, row + static_cast<size_t>(x + origin.x) * 4, 4);
        result = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    dc->EndAccess(false);
    return result;
}

namespace platform {

BOOL FillRectAlpha(HDC hdc, const RECT& rect, DWORD argb) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (rect.right <= rect.left || rect.bottom <= rect.top || (argb >> 24) == 0) return TRUE;
    if ((argb >> 24) == 0xFF && FillPixels(*dc, rect, argb)) return TRUE;
    DcPainter painter(*dc, &rect);
    if (painter) {
        SetSourceArgb(painter.Cr(), argb);
        cairo_paint(painter.Cr());
    }
    return TRUE;
}

BOOL ClearRect(HDC hdc, const RECT& rect) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (rect.right <= rect.left || rect.bottom <= rect.top) return TRUE;
    if (FillPixels(*dc, rect, 0)) return TRUE;
    DcPainter painter(*dc, &rect);
    if (painter) {
        cairo_set_operator(painter.Cr(), CAIRO_OPERATOR_CLEAR);
        cairo_paint(painter.Cr());
    }
    return TRUE;
}

BOOL DrawLineAlpha(HDC hdc, POINT from, POINT to, int width, DWORD argb, int penStyle) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (penStyle == PS_NULL || (argb >> 24) == 0) return TRUE;
    DcPainter painter(*dc);
    if (painter) {
        SetSourceArgb(painter.Cr(), argb);
        StrokeLine(painter.Cr(), from, to, width, penStyle & PS_STYLE_MASK);
    }
    return TRUE;
}

}  // namespace platform
