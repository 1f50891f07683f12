// Activation, keyboard focus, capture and the foreground window.
//
// The program's windows share one input state (one active window, one focus,
// one capture), as a single UI thread sees it in Win32. GetFocus,
// GetActiveWindow and GetCapture answer only on the thread that owns the
// window. Activation sends WM_NCACTIVATE(FALSE) and WM_ACTIVATE(WA_INACTIVE)
// to the old window, then WM_NCACTIVATE(TRUE) and WM_ACTIVATE to the new one,
// then moves the focus into it (WM_KILLFOCUS to the old focus, WM_SETFOCUS to
// the new, wParam the other window). Changing calls run on the window's own
// thread; failures return null or FALSE with the last error set.
#pragma once

#include "platform/window/DisplayTypes.h"

// Returns the previous focus of this thread. Fails for a window of another
// thread, or one that is (or lies in) a disabled or minimised window.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Activates a top-level window of this thread; returns the previously active one.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();

// Returns the previous capture window. WM_CAPTURECHANGED goes to the window that loses it.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

namespace platform {

// `how` is WA_ACTIVE or WA_CLICKACTIVE; null deactivates. Window's own thread.
void ActivateWindow(HWND hwnd, WORD how);
// `leaving` is no longer to be active: its owner takes over when it can, else nothing is active.
void ActivateNextAfter(HWND leaving);
// Moves the focus without activation (null removes it).
void SetFocusTo(HWND hwnd);
// Regardless of thread.
HWND ActiveWindowAnyThread();
HWND FocusAnyThread();
HWND CaptureAnyThread();
// Before WM_DESTROY: hides the window and gives up activation, focus and capture.
void WindowLeavingScreen(HWND hwnd);
void ForgetFocusState(HWND hwnd);

}  // namespace platform
