// The month calendar that a date picker drops down: a pop-up window owned by
// the picker's top-level window, placed below the picker (above it when the
// work area has no room below) and kept inside the work area. It answers
// WM_MOUSEACTIVATE with MA_NOACTIVATE, so clicks on it leave the activation
// and the focus where they are; the picker steers it with the keys it gets.
// Internal to the common controls; same thread as the picker.
#pragma once

#include "platform/window/WindowTypes.h"

namespace platform {

class MonthGrid;

// Registers the pop-up's window class once; true when it is registered.
bool RegisterDropDownCalendarClass();
// Shows the calendar for `picker` with `date` highlighted and its month shown; null when
// the window cannot be made. The picker must destroy it before it goes itself.
HWND OpenDropDownCalendar(HWND picker, HFONT font, const SYSTEMTIME& date);
// Left, Right, Up and Down move the highlight, Prior and Next turn the month, Return picks
// the highlighted day (the picker hears of it and takes the calendar up). False for other keys.
bool DropDownCalendarKey(HWND dropDown, UINT virtualKey);
// The grid of an open calendar, or null for any other window.
MonthGrid* DropDownCalendarGrid(HWND dropDown);

}  // namespace platform
