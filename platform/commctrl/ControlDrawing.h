// Small drawing steps the common controls share: solid fills and frames,
// one line of centred or left-aligned text, and arrow heads. They draw on any
// DC of the calling thread with the DC's current font.
#pragma once

#include <string_view>

#include "platform/gdi/GdiTypes.h"

namespace platform {

enum class ArrowDirection { Left, Right, Down };

void FillSolid(HDC hdc, const RECT& rect, COLORREF colour);
void FrameSolid(HDC hdc, const RECT& rect, COLORREF colour);
// One line, vertically centred in `rect`; DT_LEFT or DT_CENTER as `align`.
void DrawLine(HDC hdc, std::wstring_view text, RECT rect, COLORREF colour, UINT align);
// A filled arrow head centred in `box`, as large as its smaller side allows.
void DrawArrowHead(HDC hdc, const RECT& box, ArrowDirection direction, COLORREF colour);

}  // namespace platform
