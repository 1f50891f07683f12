// Device contexts, bitmaps, brushes, pens and drawing, shaped like the Win32
// calls the UI framework makes, on cairo. Pixels are 32-bit premultiplied ARGB
// (BGRA bytes), rows top-down unless a DIB section asks otherwise.
//
// Handles may be created and deleted on any thread; a DC and the objects
// selected into it are used by one thread at a time (the window's UI thread)
// and take no lock. Failures are returned the Win32 way (FALSE, 0, a null
// handle, GDI_ERROR) with the thread's last error set; nothing throws.
// Deleting an object that is still selected into a DC fails and leaves it.
#pragma once

#include <cairo.h>

#include <string>

#include "platform/gdi/GdiRegion.h"
#include "platform/gdi/GdiText.h"
#include "platform/gdi/GdiTypes.h"

// Device contexts. A null `hdc` stands for the screen.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// Returns the new save level (1 for the first), 0 on failure.
int SaveDC(HDC hdc);
// `level` > 0 restores that level; < 0 counts back from the latest (-1 = latest).
BOOL RestoreDC(HDC hdc, int level);
// Returns the previous object of that kind; for a region, the clip's kind (NULLREGION...).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
// Fills a BITMAP (bitmaps) or LOGFONTW (fonts); with a null buffer returns the size needed.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
DWORD GetObjectType(HGDIOBJ object);
// LOGPIXELSX/Y (96), BITSPIXEL (32), HORZRES/VERTRES (the drawable size).
int GetDeviceCaps(HDC hdc, int index);
int MulDiv(int number, int numerator, int denominator);

COLORREF SetTextColor(HDC hdc, COLORREF colour);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
// BLACKONWHITE, WHITEONBLACK and COLORONCOLOR pick nearest pixels; HALFTONE filters.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// Bitmaps are always 32-bit ARGB, whatever the DC. A zero size gives a 1x1 bitmap.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// Only 32-bit BI_RGB; a negative height makes rows top-down. `bits` receives the pixels,
// which stay valid until the bitmap is deleted. `section` and `offset` must be 0.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

HBRUSH CreateSolidBrush(COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);
COLORREF GetSysColor(int index);

// Shapes. A brush handle of (COLOR_x + 1) paints that system colour.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
// Draws with the selected pen up to, not including, the end point.
BOOL LineTo(HDC hdc, int x, int y);
COLORREF GetPixel(HDC hdc, int x, int y);

// Only SRCCOPY: the source's pixels replace the destination's, alpha included.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop);
// Composites the source rectangle over the destination. With AC_SRC_ALPHA the source is
// premultiplied ARGB; without, it counts as opaque. Either way scaled by the constant alpha.
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, BLENDFUNCTION blend);

namespace platform {

// A 32-bit top-down DIB section of `width` x `height` (rows of `width` pixels, first row on
// top); `bits` receives the premultiplied ARGB pixels. Null when a size is not positive.
HBITMAP CreateTopDownBitmap(HDC hdc, int width, int height, DWORD** bits);

// ARGB (0xAARRGGBB, not premultiplied) fills and lines, blended over what is there.
BOOL FillRectAlpha(HDC hdc, const RECT& rect, DWORD argb);
// Makes the pixels of `rect` inside the clip transparent black (0), as a new bitmap's are.
BOOL ClearRect(HDC hdc, const RECT& rect);
// A line from `from` to `to` (end point excluded) with a PS_SOLID, PS_DASH or PS_DOT style.
BOOL DrawLineAlpha(HDC hdc, POINT from, POINT to, int width, DWORD argb, int penStyle);

// A DC that draws on `area` of a surface owned by someone else (a window's pixels);
// the DC holds a reference to the surface until DeleteDC, so a DC made before the
// owner replaces its surface (a resize) keeps drawing on the old one: make DCs per paint.
HDC CreateSurfaceDC(cairo_surface_t* surface, const RECT& area);

// Premultiplied ARGB of one pixel; false outside the bitmap or for a bad handle.
bool ReadBitmapPixel(HBITMAP bitmap, int x, int y, DWORD* argb);
// Writes the bitmap as a PNG file (un-premultiplied by cairo); false on any failure.
bool WriteBitmapPng(HBITMAP bitmap, const std::string& path);

}  // namespace platform
