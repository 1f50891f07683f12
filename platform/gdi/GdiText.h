// Fonts and text on pango, shaped like the Win32 calls. Every font renders
// with the pinned face "WenQuanYi Micro Hei" unless the requested face is
// installed, so Chinese and Latin text measure the same on every machine.
// Font heights are pixels: negative for the character (em) height, positive
// for the cell height, 0 for the default of 12. Same thread and failure rules
// as the rest of the drawing layer. A thread keeps, by font handle (never reused),
// recent layouts and glyph coverages, and the glyphs of a font's digits and percent
// sign from which numbers are put together; none of it can go stale.
#pragma once

#include "platform/gdi/GdiTypes.h"

HFONT CreateFontIndirectW(const LOGFONTW* logFont);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName);
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
// `count` characters (-1 is not accepted, as on Windows); the height is the font's tmHeight.
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);
// `count` -1 means up to the terminating zero. Returns the text height (with DT_VCENTER
// or DT_BOTTOM: from the rectangle's top to the text's bottom), 0 on failure. With
// DT_CALCRECT draws nothing and sets the rectangle's right and bottom to fit the text.
int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);

namespace platform {

inline constexpr wchar_t kPinnedFontFace[] = L"WenQuanYi Micro Hei";

}  // namespace platform
