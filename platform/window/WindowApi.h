// Window life cycle and properties at the Win32 edge.
//
// A window belongs to the thread that creates it; its procedure runs only on
// that thread. CreateWindowExW sends WM_NCCREATE then WM_CREATE (lParam the
// CREATESTRUCTW, lpCreateParams the creation parameter); DestroyWindow first
// destroys the windows it owns, then sends WM_DESTROY to the window and its
// children top-down and WM_NCDESTROY bottom-up. The handle is invalid once
// WM_NCDESTROY has returned and is never handed out again. Failures return
// FALSE, null or 0 with the thread's last error set; nothing here throws.
#pragma once

#include "platform/window/WindowTypes.h"

// Null on failure: ERROR_CANNOT_FIND_WND_CLASS, ERROR_INVALID_WINDOW_HANDLE (bad
// parent), ERROR_TLW_WITH_WSCHILD (WS_CHILD without parent), or
// ERROR_GEN_FAILURE when the procedure refused WM_NCCREATE or WM_CREATE (unless
// it set an error of its own). A parent of HWND_MESSAGE makes a message-only
// window; a parent without WS_CHILD in `style` becomes the owner (its top-level window).
// A window created with WS_VISIBLE is shown after WM_CREATE as ShowWindow does it
// (SW_SHOW; SW_SHOWNA for children and WS_EX_NOACTIVATE windows).
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Only on the window's own thread (else ERROR_ACCESS_DENIED). Destroying a
// window again from inside its own destruction is a successful no-op.
BOOL DestroyWindow(HWND hwnd);

// WM_NCCREATE: TRUE; WM_CLOSE: destroys the window; WM_PAINT: BeginPaint and
// EndPaint; the display messages as DefWindowDisplay.h describes; else 0.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Calls `proc`; 0 when it is null.
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// GWLP_WNDPROC, GWLP_HINSTANCE, GWLP_HWNDPARENT, GWLP_ID, GWL_STYLE,
// GWL_EXSTYLE, GWLP_USERDATA, and byte offsets from 0 into the class's extra
// bytes (8 bytes wide here, 4 in the 32-bit forms). The setters return the previous value and clear
// the last error, so 0 from a success can be told from a failure
// (ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_INDEX).
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
// 32-bit forms; GWLP_WNDPROC fails here with ERROR_INVALID_INDEX (a pointer does not fit).
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);

BOOL IsWindow(HWND hwnd);
// A child's parent; the owner of a WS_POPUP top-level window; else null.
HWND GetParent(HWND hwnd);
// GW_OWNER or GW_CHILD (the first child); other relations fail with ERROR_INVALID_PARAMETER.
HWND GetWindow(HWND hwnd, UINT relation);
// The creating thread's id (as GetCurrentThreadId gives it there); the process id into `processId`.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// Returns nonzero when the window was disabled before; sends WM_ENABLE on a change.
// Disabling the focus window takes the focus away first.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// WS_VISIBLE on the window and every parent.
BOOL IsWindowVisible(HWND hwnd);

// The invalid area is kept per window as a region; WM_PAINT is generated for a
// visible, invalid window when its queue holds no posted message. `rect` null:
// all of it. Visible children under the area are invalidated too, unless the
// window has WS_CLIPCHILDREN.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// Sends WM_PAINT at once when the window is visible and invalid, then updates its children.
BOOL UpdateWindow(HWND hwnd);
