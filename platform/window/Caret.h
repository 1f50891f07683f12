// The caret: one per thread, owned by one window of that thread.
//
// CreateCaret replaces (and removes) any caret the thread had; the new caret
// starts hidden, and each HideCaret needs a ShowCaret to undo it. While shown
// it is drawn by inverting its rectangle in the window's pixels and blinks
// through a thread timer (WM_TIMER with a timer procedure, so the thread's
// message loop must dispatch). Painting takes it off before BeginPaint hands
// out the DC and puts it back at EndPaint. Failures return FALSE with the last
// error set.
#pragma once

#include "platform/window/DisplayTypes.h"

// `bitmap` is accepted and ignored: the caret is always an inverted rectangle.
// A zero width or height takes the border size.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
// `hwnd` null means the thread's caret, whichever window owns it.
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT milliseconds);

namespace platform {

struct CaretState {
    HWND owner = nullptr;
    RECT rect;           // client co-ordinates of the owner
    int hideCount = 0;   // shown when 0
    bool drawn = false;  // inverted on the surface right now
};
// The calling thread's caret.
CaretState CurrentCaret();

void HideCaretForPaint(HWND hwnd);
void RestoreCaretAfterPaint(HWND hwnd);
void ForgetCaretOwner(HWND hwnd);

}  // namespace platform
