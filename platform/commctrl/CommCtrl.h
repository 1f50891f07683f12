// The common controls the program uses, at the Win32 edge: InitCommonControlsEx
// and the date and time picker ("SysDateTimePick32").
//
// InitCommonControlsEx registers the layer's common control classes, which
// are process-wide; any thread may call it, any number of times. The layer has
// one such control, the date picker, and registers it for every valid call,
// whichever classes `dwICC` names, as the system's library registers its whole
// set: the program asks only for the standard classes and still creates pickers.
//
// The date picker is a child window that shows one date as "YYYY-MM-DD" in the
// font WM_SETFONT gives it, with a button that drops a month calendar down.
// Its windows run on the thread that creates them. What it does:
// - DTM_SETSYSTEMTIME (wParam GDT_VALID, lParam a SYSTEMTIME*) takes a date
//   from 1601-01-01 to 9999-12-31 and returns TRUE; anything else (GDT_NONE
//   included: the picker has no "no date" state) returns FALSE and changes
//   nothing. DTM_GETSYSTEMTIME fills lParam's SYSTEMTIME (the time of day as
//   last set) and returns GDT_VALID, or GDT_ERROR without a buffer.
//   DTM_GETMONTHCAL returns the dropped-down calendar window, else null.
// - Keyboard: Left and Right move between year, month and day; Up and Down
//   step the field (month and day wrap, the year stops at the range's ends, a
//   day the new month lacks becomes its last); digits type into the field and
//   move on once it is full (a year counts when all four digits are typed).
//   F4 or Alt+Down drop the calendar down. A click selects a field, or on the
//   button drops the calendar down or takes it up again.
// - The drop-down calendar is a pop-up window below the picker (above it when
//   the work area has no room below) that never takes the activation or the
//   focus: the picker keeps the focus and steers it. It shows one month with
//   the picked date highlighted and today framed; the arrows of its title turn
//   the month; arrow keys move the highlight by a day or a week, Page Up and
//   Page Down by a month; a click on a day or Return picks that day, Escape or
//   F4 takes the calendar up without picking. It goes when the picker loses the focus, is hidden or
//   is destroyed.
// - The picker sends no notifications; its owner reads the date when it wants it.
#pragma once

#include "platform/types/WinTypes.h"

struct INITCOMMONCONTROLSEX {
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};

inline constexpr DWORD ICC_DATE_CLASSES = 0x00000100;
inline constexpr DWORD ICC_STANDARD_CLASSES = 0x00004000;

inline constexpr wchar_t DATETIMEPICK_CLASSW[] = L"SysDateTimePick32";

inline constexpr UINT DTM_FIRST = 0x1000;
inline constexpr UINT DTM_GETSYSTEMTIME = DTM_FIRST + 1;
inline constexpr UINT DTM_SETSYSTEMTIME = DTM_FIRST + 2;
inline constexpr UINT DTM_GETMONTHCAL = DTM_FIRST + 8;

// Results of DTM_GETSYSTEMTIME and flags of DTM_SETSYSTEMTIME.
inline constexpr LRESULT GDT_ERROR = -1;
inline constexpr LRESULT GDT_VALID = 0;
inline constexpr LRESULT GDT_NONE = 1;

// FALSE with ERROR_INVALID_PARAMETER for a null pointer or a wrong dwSize.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
