#include "platform/commctrl/DropDownCalendar.h"

#include <algorithm>
#include <memory>

#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/DateTimePicker.h"
#include "platform/commctrl/MonthGrid.h"
#include "platform/sync/Clock.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"

namespace platform {

namespace {

constexpr wchar_t kClassName[] = L"DateTimePickDropDown";

struct DropDownState {
    HWND picker;
    MonthGrid grid;
};

LRESULT DropDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

DropDownState* StateOf(HWND hwnd) {
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&DropDownProc)) return nullptr;
    return reinterpret_cast<DropDownState*>(GetWindowLongPtrW(hwnd, 0));
}

void Paint(HWND hwnd, const DropDownState& state) {
    PAINTSTRUCT paint{};
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr) return;
    state.grid.Paint(hdc);
    EndPaint(hwnd, &paint);
}

void Press(HWND hwnd, DropDownState& state, POINT pt) {
    const MonthGrid::Hit hit = state.grid.HitTest(pt);
    switch (hit.kind) {
        case MonthGrid::HitKind::PreviousMonth:
        case MonthGrid::HitKind::NextMonth:
            state.grid.TurnMonth(hit.kind == MonthGrid::HitKind::NextMonth ? 1 : -1);
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case MonthGrid::HitKind::Day:
            // The picker destroys this window while taking the date: nothing of it is used after.
            PickerTakeDropDownDate(state.picker, hit.date);
            break;
        case MonthGrid::HitKind::Nothing:
            break;
    }
}

LRESULT DropDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            // The opener hands its state over here; until then it still frees it on failure.
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            auto* holder = static_cast<std::unique_ptr<DropDownState>*>(create->lpCreateParams);
            if (holder == nullptr || *holder == nullptr) return FALSE;
            SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(holder->release()));
            return TRUE;
        }
        case WM_NCDESTROY: {
            std::unique_ptr<DropDownState> state(StateOf(hwnd));
            SetWindowLongPtrW(hwnd, 0, 0);
            if (state != nullptr) PickerForgetDropDown(state->picker, hwnd);
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            if (DropDownState* state = StateOf(hwnd)) {
                Paint(hwnd, *state);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (DropDownState* state = StateOf(hwnd))
                Press(hwnd, *state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Below the picker, or above it when the work area has no room below; never off the work area.
POINT Placement(HWND picker, SIZE size) {
    RECT anchor{};
    GetWindowRect(picker, &anchor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work = WorkArea();
    if (GetMonitorInfoW(MonitorFromWindow(picker, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
    POINT at{anchor.left, anchor.bottom};
    if (at.y + size.cy > work.bottom && anchor.top - size.cy >= work.top) at.y = anchor.top - size.cy;
    at.x = std::max(work.left, std::min(at.x, work.right - size.cx));
    at.y = std::max(work.top, std::min(at.y, work.bottom - size.cy));
    return at;
}

}  // namespace

bool RegisterDropDownCalendarClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DROPSHADOW;
    wc.lpfnWndProc = &DropDownProc;
    wc.cbWndExtra = sizeof(DropDownState*);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return EnsureWindowClass(wc);
}

HWND OpenDropDownCalendar(HWND picker, HFONT font, const SYSTEMTIME& date) {
    if (!RegisterDropDownCalendarClass()) return nullptr;
    SYSTEMTIME today{};
    GetLocalTime(&today);
    auto state = std::make_unique<DropDownState>(DropDownState{picker, MonthGrid(font, date, today)});
    const SIZE size = state->grid.Size();
    const POINT at = Placement(picker, size);
    const HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"", WS_POPUP, at.x, at.y,
                                      size.cx, size.cy, picker, nullptr, nullptr, &state);
    if (hwnd == nullptr) return nullptr;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

bool DropDownCalendarKey(HWND dropDown, UINT virtualKey) {
    DropDownState* state = StateOf(dropDown);
    if (state == nullptr) return false;
    switch (virtualKey) {
        case VK_LEFT:
            state->grid.MoveHighlight(-1);
            break;
        case VK_RIGHT:
            state->grid.MoveHighlight(1);
            break;
        case VK_UP:
            state->grid.MoveHighlight(-7);
            break;
        case VK_DOWN:
            state->grid.MoveHighlight(7);
            break;
        case VK_PRIOR:
        case VK_NEXT:
            state->grid.SetHighlighted(AddMonths(state->grid.Highlighted(), virtualKey == VK_NEXT ? 1 : -1));
            break;
        case VK_RETURN:
            PickerTakeDropDownDate(state->picker, state->grid.Highlighted());
            return true;
        default:
            return false;
    }
    InvalidateRect(dropDown, nullptr, FALSE);
    return true;
}

MonthGrid* DropDownCalendarGrid(HWND dropDown) {
    DropDownState* state = StateOf(dropDown);
    return state != nullptr ? &state->grid : nullptr;
}

}  // namespace platform
