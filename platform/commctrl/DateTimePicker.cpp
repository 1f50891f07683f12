#include "platform/commctrl/DateTimePicker.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>

#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/CommCtrl.h"
#include "platform/commctrl/ControlDrawing.h"
#include "platform/commctrl/DropDownCalendar.h"
#include "platform/commctrl/MonthGrid.h"
#include "platform/gdi/Gdi.h"
#include "platform/sync/Clock.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"

namespace platform {

namespace {

enum Field : int { kYear = 0, kMonth = 1, kDay = 2, kFieldCount = 3 };
// Between the border and the text.
constexpr int kTextInset = 3;

// Lives in the window's extra bytes from WM_NCCREATE to WM_NCDESTROY.
struct PickerState {
    SYSTEMTIME value{};
    HFONT font = nullptr;  // not owned
    int field = kYear;
    // The digits typed into the field so far, as a number, and how many there were.
    int typed = 0;
    int typedDigits = 0;
    HWND dropDown = nullptr;
    bool focused = false;
};

struct Layout {
    RECT fields[kFieldCount]{};
    RECT separators[kFieldCount - 1]{};
    RECT button{};
};

PickerState* StateOf(HWND hwnd) {
    return reinterpret_cast<PickerState*>(GetWindowLongPtrW(hwnd, 0));
}

HFONT FontOf(const PickerState& state) {
    return state.font != nullptr ? state.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

std::wstring FieldText(const PickerState& state, int field) {
    wchar_t text[16] = {};
    switch (field) {
        case kYear:
            // A year being typed shows its digits so far; it counts once all four are there.
            std::swprintf(text, std::size(text), L"%4d",
                          state.field == kYear && state.typedDigits > 0 ? state.typed : state.value.wYear);
            break;
        case kMonth:
            std::swprintf(text, std::size(text), L"%02d", state.value.wMonth);
            break;
        default:
            std::swprintf(text, std::size(text), L"%02d", state.value.wDay);
            break;
    }
    return text;
}

Layout LayOut(HWND hwnd, const PickerState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    Layout layout;
    const int buttonWidth = std::clamp<int>(GetSystemMetrics(SM_CXVSCROLL), 0, std::max<LONG>(0, client.right / 2));
    layout.button = RECT{client.right - 1 - buttonWidth, 1, client.right - 1, client.bottom - 1};
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return layout;
    HGDIOBJ old = SelectObject(dc, FontOf(state));
    int x = kTextInset;
    auto place = [&](const std::wstring& text) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        const RECT rect{x, 1, x + extent.cx, client.bottom - 1};
        x += extent.cx;
        return rect;
    };
    for (int field = 0; field < kFieldCount; ++field) {
        if (field > 0) layout.separators[field - 1] = place(L"-");
        layout.fields[field] = place(FieldText(state, field));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return layout;
}

void Paint(HWND hwnd, const PickerState& state) {
    PAINTSTRUCT paint{};
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr) return;
    RECT client{};
    GetClientRect(hwnd, &client);
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    FillSolid(hdc, client, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    FrameSolid(hdc, client, GetSysColor(COLOR_BTNSHADOW));
    const Layout layout = LayOut(hwnd, state);
    HGDIOBJ oldFont = SelectObject(hdc, FontOf(state));
    const COLORREF text = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    for (int field = 0; field < kFieldCount; ++field) {
        const bool lit = enabled && state.focused && state.dropDown == nullptr && field == state.field;
        if (lit) FillSolid(hdc, layout.fields[field], GetSysColor(COLOR_HIGHLIGHT));
        DrawLine(hdc, FieldText(state, field), layout.fields[field], lit ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text,
                 DT_LEFT);
    }
    for (const RECT& separator : layout.separators)
        DrawLine(hdc, L"-", separator, text, DT_LEFT);
    // The button is drawn last: text too long for the field ends under it.
    const RECT& button = layout.button;
    FillSolid(hdc, button, GetSysColor(state.dropDown != nullptr ? COLOR_BTNSHADOW : COLOR_BTNFACE));
    FillSolid(hdc, RECT{button.left, button.top, button.left + 1, button.bottom}, GetSysColor(COLOR_BTNSHADOW));
    DrawArrowHead(hdc, button, ArrowDirection::Down, text);
    SelectObject(hdc, oldFont);
    EndPaint(hwnd, &paint);
}

void DropTyping(PickerState& state) {
    state.typed = 0;
    state.typedDigits = 0;
}

void SetValue(PickerState& state, SYSTEMTIME date) {
    date.wDay = static_cast<WORD>(std::min<int>(date.wDay, DaysInMonth(date.wYear, date.wMonth)));
    state.value = WithDayOfWeek(date);
}

void StepField(PickerState& state, int delta) {
    SYSTEMTIME date = state.value;
    switch (state.field) {
        case kYear:
            date.wYear = static_cast<WORD>(std::clamp(date.wYear + delta, kFirstPickerYear, kLastPickerYear));
            break;
        case kMonth:
            date.wMonth = static_cast<WORD>(((date.wMonth - 1 + delta) % 12 + 12) % 12 + 1);
            break;
        default: {
            const int days = DaysInMonth(date.wYear, date.wMonth);
            date.wDay = static_cast<WORD>(((date.wDay - 1 + delta) % days + days) % days + 1);
            break;
        }
    }
    SetValue(state, date);
}

void TypeDigit(PickerState& state, int digit) {
    SYSTEMTIME date = state.value;
    if (state.field == kYear) {
        state.typed = state.typed * 10 + digit;
        if (++state.typedDigits < 4) return;
        if (state.typed >= kFirstPickerYear && state.typed <= kLastPickerYear) {
            date.wYear = static_cast<WORD>(state.typed);
            SetValue(state, date);
        }
        DropTyping(state);
        state.field = kMonth;
        return;
    }
    const int largest = state.field == kMonth ? 12 : DaysInMonth(date.wYear, date.wMonth);
    int number = state.typedDigits > 0 ? state.typed * 10 + digit : digit;
    if (number > largest) {
        // The digit cannot extend what was typed: it starts the field anew.
        number = digit;
        state.typedDigits = 0;
    }
    state.typed = number;
    ++state.typedDigits;
    if (number >= 1) {
        (state.field == kMonth ? date.wMonth : date.wDay) = static_cast<WORD>(number);
        SetValue(state, date);
    }
    // Full once no further digit could make a number that fits.
    if (state.typedDigits >= 2 || number * 10 > largest) {
        DropTyping(state);
        if (state.field == kMonth) state.field = kDay;
    }
}

void OpenDropDown(HWND hwnd, PickerState& state) {
    if (state.dropDown != nullptr) return;
    DropTyping(state);
    state.dropDown = OpenDropDownCalendar(hwnd, state.font, state.value);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CloseDropDown(HWND hwnd, PickerState& state) {
    const HWND dropDown = state.dropDown;
    if (dropDown == nullptr) return;
    state.dropDown = nullptr;
    DestroyWindow(dropDown);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Press(HWND hwnd, POINT pt) {
    if (GetFocus() != hwnd) SetFocus(hwnd);
    // A focus handler elsewhere may have destroyed this window.
    PickerState* state = IsWindow(hwnd) ? StateOf(hwnd) : nullptr;
    if (state == nullptr) return;
    const Layout layout = LayOut(hwnd, *state);
    auto inside = [pt](const RECT& r) { return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom; };
    if (inside(layout.button)) {
        if (state->dropDown != nullptr) {
            CloseDropDown(hwnd, *state);
        } else {
            OpenDropDown(hwnd, *state);
        }
        return;
    }
    CloseDropDown(hwnd, *state);
    // Each field reaches to the next one, so a click on a separator picks the field before it.
    for (int field = kFieldCount - 1; field >= 0; --field) {
        if (pt.x < layout.fields[field].left && field > 0) continue;
        if (state->field != field) DropTyping(*state);
        state->field = field;
        break;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

bool KeyDown(HWND hwnd, PickerState& state, UINT key) {
    if (state.dropDown != nullptr) {
        if (key == VK_ESCAPE || key == VK_F4) {
            CloseDropDown(hwnd, state);
            return true;
        }
        return DropDownCalendarKey(state.dropDown, key);
    }
    switch (key) {
        case VK_LEFT:
        case VK_RIGHT:
            DropTyping(state);
            state.field = (state.field + (key == VK_RIGHT ? 1 : kFieldCount - 1)) % kFieldCount;
            break;
        case VK_UP:
        case VK_DOWN:
            DropTyping(state);
            StepField(state, key == VK_UP ? 1 : -1);
            break;
        case VK_F4:
            OpenDropDown(hwnd, state);
            return true;
        default:
            return false;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    return true;
}

LRESULT PickerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto state = std::make_unique<PickerState>();
        GetLocalTime(&state->value);
        SetLastError(ERROR_SUCCESS);
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state.get()));
        if (GetLastError() != ERROR_SUCCESS) return FALSE;
        state.release();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    PickerState* state = StateOf(hwnd);
    if (state == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, 0, 0);
            delete state;
            return 0;
        case WM_DESTROY:
            CloseDropDown(hwnd, *state);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(hwnd, *state);
            return 0;
        case WM_SETFONT:
            state->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(static_cast<DWORD_PTR>(lParam)) != 0) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(state->font);
        case DTM_GETSYSTEMTIME:
            if (lParam == 0) return GDT_ERROR;
            *reinterpret_cast<SYSTEMTIME*>(lParam) = state->value;
            return GDT_VALID;
        case DTM_SETSYSTEMTIME: {
            const auto* date = reinterpret_cast<const SYSTEMTIME*>(lParam);
            if (static_cast<LRESULT>(wParam) != GDT_VALID || date == nullptr || !IsPickerDate(*date)) return FALSE;
            SetValue(*state, *date);
            DropTyping(*state);
            if (MonthGrid* grid = DropDownCalendarGrid(state->dropDown)) {
                grid->SetHighlighted(state->value);
                InvalidateRect(state->dropDown, nullptr, FALSE);
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            return TRUE;
        }
        case DTM_GETMONTHCAL:
            return reinterpret_cast<LRESULT>(state->dropDown);
        case WM_SETFOCUS:
            state->focused = true;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_KILLFOCUS:
            state->focused = false;
            DropTyping(*state);
            CloseDropDown(hwnd, *state);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_ENABLE:
            if (wParam == FALSE) CloseDropDown(hwnd, *state);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_SHOWWINDOW:
            if (wParam == FALSE) CloseDropDown(hwnd, *state);
            break;
        case WM_MOVE:
            // The calendar hangs below where the picker was.
            CloseDropDown(hwnd, *state);
            break;
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case WM_KEYDOWN:
            if (KeyDown(hwnd, *state, static_cast<UINT>(wParam))) return 0;
            break;
        case WM_SYSKEYDOWN:
            if (wParam == VK_DOWN && state->dropDown == nullptr) {
                OpenDropDown(hwnd, *state);
                return 0;
            }
            break;
        case WM_CHAR:
            if (state->dropDown == nullptr && wParam >= L'0' && wParam <= L'9') {
                TypeDigit(*state, static_cast<int>(wParam - L'0'));
                InvalidateRect(hwnd, nullptr, FALSE);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            Press(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool RegisterDateTimePickerClasses() {
    if (!RegisterDropDownCalendarClass()) return false;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &PickerProc;
    wc.cbWndExtra = sizeof(PickerState*);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = DATETIMEPICK_CLASSW;
    return EnsureWindowClass(wc);
}

void PickerTakeDropDownDate(HWND picker, const SYSTEMTIME& date) {
    PickerState* state = IsWindow(picker) ? StateOf(picker) : nullptr;
    if (state == nullptr || !IsPickerDate(date)) return;
    SetValue(*state, date);
    CloseDropDown(picker, *state);
}

void PickerForgetDropDown(HWND picker, HWND dropDown) {
    PickerState* state = IsWindow(picker) ? StateOf(picker) : nullptr;
    if (state == nullptr || state->dropDown != dropDown) return;
    state->dropDown = nullptr;
    InvalidateRect(picker, nullptr, FALSE);
}

}  // namespace platform
