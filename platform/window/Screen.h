// The one monitor, system metrics, the mouse cursor's shape and position.
//
// Any thread. The screen and work area come from the display backend (a
// default 1920x1080 screen without one). Cursor handles are the stock shapes
// only; SetCursor tells the backend, which shows it over the program's windows.
#pragma once

#include "platform/window/DisplayTypes.h"
#include "platform/window/WindowBackend.h"

int GetSystemMetrics(int index);
// SPI_GETWORKAREA only (into a RECT at `param`); else FALSE with ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID param, UINT winIni);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
// `info->cbSize` must be sizeof(MONITORINFO).
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);

// A stock IDC_* shape with a null instance; else null with ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
BOOL GetCursorPos(POINT* point);
UINT GetDoubleClickTime();

namespace platform {

ScreenGeometry CurrentScreen();
RECT WorkArea();
// Whether the display shows the per-pixel alpha of layered windows over what lies below
// them. Headless (and without a display) it does; on X11 only while a compositing manager
// runs, for without one translucent pixels come out as solid colour.
bool TranslucentWindowsShown();
// The router keeps the mouse position here as input arrives.
void SetCursorPosition(POINT screen);
// The IDC_* number a stock cursor handle stands for (0 for none).
UINT CursorShapeId(HCURSOR cursor);

}  // namespace platform
