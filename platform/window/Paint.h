// Painting windows: update regions, paint and window DCs, window shapes and
// layered windows, at the Win32 edge.
//
// A top-level window owns a 32-bit premultiplied ARGB surface (WindowSurface);
// its children draw into it at their place. DCs come from BeginPaint (clipped
// to the update region and to what can be seen of the window) or GetDC (clipped
// to what can be seen) and are used on the window's own thread; EndPaint or
// ReleaseDC hands the new pixels to the display backend. A DC kept past a
// resize draws on the surface the window had when it was made. Failures return
// null, FALSE or 0 with the thread's last error set.
#pragma once

#include <cstdint>

#include "platform/gdi/Gdi.h"
#include "platform/window/DisplayTypes.h"

// Validates the whole update region; sends WM_ERASEBKGND (wParam the DC) when an
// erase was asked for. `paint->rcPaint` is the region's bounding box.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
// A null window gives a memory DC for measuring, as the screen DC would.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
// 1 when the DC came from GetDC/GetWindowDC for that window, else 0.
int ReleaseDC(HWND hwnd, HDC hdc);

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase);
BOOL ValidateRgn(HWND hwnd, HRGN region);
// RDW_INVALIDATE, RDW_VALIDATE, RDW_ERASE, RDW_ALLCHILDREN, RDW_NOCHILDREN, RDW_UPDATENOW
// (RDW_ERASENOW counts as RDW_UPDATENOW); the frame flags are accepted and ignored.
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
// Nonzero when the window has an update region; its bounding box into `rect`.
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
// Copies the update region into `region`; returns its kind or RGN_ERROR.
int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase);

// The window takes the region (in window co-ordinates) and deletes its handle;
// null removes the shape. Input and pixels outside it do not belong to the window.
int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw);
// Copies the shape into `region`; RGN_ERROR when the window has none.
int GetWindowRgn(HWND hwnd, HRGN region);

// For WS_EX_LAYERED windows: moves/sizes the window when `position`/`size` are given
// and, with a source DC, takes its pixels from `sourcePoint` as the window's, scaled
// by the constant alpha; without AC_SRC_ALPHA (or with ULW_OPAQUE) they count as opaque.
// ULW_COLORKEY is not supported (FALSE, ERROR_INVALID_PARAMETER).
BOOL UpdateLayeredWindow(HWND hwnd, HDC screenDc, POINT* position, SIZE* size, HDC sourceDc, POINT* sourcePoint,
                         COLORREF colourKey, BLENDFUNCTION* blend, DWORD flags);
// LWA_ALPHA: the whole window shown with that opacity. LWA_COLORKEY is not supported.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF colourKey, BYTE alpha, DWORD flags);

namespace platform {

// The pixel a viewer sees at (x, y) of a top-level window, premultiplied ARGB:
// the window shape and the layered opacity applied; a window that is not
// layered is opaque. 0 outside the window or for a window without pixels.
DWORD ShownPixel(HWND topLevel, int x, int y);
// The same for every pixel of `area` (window co-ordinates), row by row into
// `out` (`area`'s width a row). False when the window has no pixels.
bool CopyShownPixels(HWND topLevel, const RECT& area, std::uint32_t* out);

}  // namespace platform
