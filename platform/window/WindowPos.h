// Window geometry, show states and z-order at the Win32 edge.
//
// Calls that change a window run on its own thread (else FALSE with
// ERROR_ACCESS_DENIED) and send the messages Win32 callers rely on, in this
// order: WM_SHOWWINDOW (ShowWindow), WM_WINDOWPOSCHANGING (DefWindowProcW
// clamps the size of a WS_THICKFRAME or overlapped window through
// WM_GETMINMAXINFO; edge drags clamp every window), activation messages,
// WM_WINDOWPOSCHANGED (DefWindowProcW sends WM_MOVE, then WM_SIZE); the
// first showing of a window also sends WM_SIZE and WM_MOVE. Windows have no
// frame: the client area is the whole window. Queries work from any thread.
// Failures return FALSE, null or 0 with the thread's last error set.
#pragma once

#include "platform/window/DisplayTypes.h"

BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
// x/y are screen co-ordinates for top-level windows, the parent's client co-ordinates for children.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL BringWindowToTop(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);

BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// From the client co-ordinates of `from` to those of `to` (null: the screen). Returns the
// horizontal offset in the low word and the vertical one in the high word.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible, enabled window under a screen point; null when none.
HWND WindowFromPoint(POINT point);
// The child of `parent` (or `parent` itself) under a point in its client co-ordinates,
// hidden and disabled children included, as Win32 does; null outside the parent.
HWND ChildWindowFromPoint(HWND parent, POINT point);

// WM_SETTEXT / WM_GETTEXT on the window's thread; DefWindowProcW keeps the text.
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
// Copies at most `maxCount` - 1 characters and a terminator; returns the count copied.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);

namespace platform {

// A backend reports that the system moved or resized a top-level window (a
// window manager did): updates the window and sends the change messages, without
// telling the backend back. Window's own thread.
void ApplySystemMove(HWND hwnd, const RECT& screenRect);
// The min and max track sizes DefWindowProcW uses, after WM_GETMINMAXINFO.
MINMAXINFO QueryMinMaxInfo(HWND hwnd);

}  // namespace platform
