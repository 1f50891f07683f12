#include "platform/commctrl/ControlDrawing.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/gdi/Gdi.h"

namespace platform {

void FillSolid(HDC hdc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

void FrameSolid(HDC hdc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(hdc, &rect, brush);
    DeleteObject(brush);
}

void DrawLine(HDC hdc, std::wstring_view text, RECT rect, COLORREF colour, UINT align) {
    const std::wstring line(text);
    SetTextColor(hdc, colour);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, line.c_str(), static_cast<int>(line.size()), &rect,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(hdc, oldMode);
}

void DrawArrowHead(HDC hdc, const RECT& box, ArrowDirection direction, COLORREF colour) {
    // The base is 2 * half + 1 pixels long and the tip one pixel, half + 1 rows away.
    const int side = std::min(box.right - box.left, box.bottom - box.top);
    const int half = std::max(1, side / 4);
    const int midX = (box.left + box.right) / 2;
    const int midY = (box.top + box.bottom) / 2;
    if (direction == ArrowDirection::Down) {
        const int top = midY - half / 2;
        for (int row = 0; row <= half; ++row)
            FillSolid(hdc, RECT{midX - half + row, top + row, midX + half - row + 1, top + row + 1}, colour);
        return;
    }
    for (int row = -half; row <= half; ++row) {
        const int indent = std::abs(row);
        if (direction == ArrowDirection::Left) {
            const int tip = midX - half / 2;
            FillSolid(hdc, RECT{tip + indent, midY + row, tip + half + 1, midY + row + 1}, colour);
        } else {
            const int tip = midX + half / 2;
            FillSolid(hdc, RECT{tip - half, midY + row, tip - indent + 1, midY + row + 1}, colour);
        }
    }
}

}  // namespace platform
