#include "platform/window/Caret.h"

#include <atomic>

#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

constexpr UINT kDefaultBlinkMs = 530;
std::atomic<UINT> g_blinkMs{kDefaultBlinkMs};

struct ThreadCaret {
    CaretState state;
    UINT_PTR blinkTimer = 0;
    bool blinkOn = true;
    bool paintHidden = false;  // taken off for a paint, to be put back at EndPaint
};

thread_local ThreadCaret t_caret;

// Inverting twice restores the pixels, so drawing and erasing are the same step.
void Invert() {
    auto window = LookUpWindow(t_caret.state.owner);
    if (!window) return;
    HDC hdc = GetDC(t_caret.state.owner);
    if (!hdc) return;
    InvertRect(hdc, &t_caret.state.rect);
    ReleaseDC(t_caret.state.owner, hdc);
    t_caret.state.drawn = !t_caret.state.drawn;
}

void Erase() {
    if (t_caret.state.drawn) Invert();
}

bool ShouldShow() {
    return t_caret.state.owner && t_caret.state.hideCount == 0 && t_caret.blinkOn && !t_caret.paintHidden &&
           IsWindowVisible(t_caret.state.owner);
}

void Refresh() {
    if (ShouldShow() != t_caret.state.drawn) Invert();
}

void StopBlink() {
    if (t_caret.blinkTimer) KillTimer(nullptr, t_caret.blinkTimer);
    t_caret.blinkTimer = 0;
}

void BlinkProc(HWND, UINT, UINT_PTR, DWORD) {
    t_caret.blinkOn = !t_caret.blinkOn;
    Refresh();
}

void StartBlink() {
    t_caret.blinkOn = true;
    t_caret.blinkTimer = SetTimer(nullptr, t_caret.blinkTimer, g_blinkMs.load(), BlinkProc);
}

bool OwnsCaret(HWND hwnd) {
    if (!t_caret.state.owner || (hwnd && hwnd != t_caret.state.owner)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace

CaretState CurrentCaret() {
    return t_caret.state;
}

void HideCaretForPaint(HWND hwnd) {
    if (t_caret.state.owner != hwnd && !IsDescendant(hwnd, t_caret.state.owner)) return;
    Erase();
    t_caret.paintHidden = true;
}

void RestoreCaretAfterPaint(HWND hwnd) {
    if (!t_caret.paintHidden || (t_caret.state.owner != hwnd && !IsDescendant(hwnd, t_caret.state.owner))) return;
    t_caret.paintHidden = false;
    Refresh();
}

void ForgetCaretOwner(HWND hwnd) {
    if (t_caret.state.owner != hwnd) return;
    StopBlink();
    t_caret = ThreadCaret{};
}

}  // namespace platform

using platform::t_caret;

BOOL CreateCaret(HWND hwnd, HBITMAP /*bitmap*/, int width, int height) {
    auto window = platform::WindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!window->Queue()->IsOwnerThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DestroyCaret();
    t_caret.state.owner = hwnd;
    t_caret.state.rect = RECT{0, 0, width > 0 ? width : GetSystemMetrics(SM_CXBORDER),
                              height > 0 ? height : GetSystemMetrics(SM_CYBORDER)};
    t_caret.state.hideCount = 1;
    return TRUE;
}

BOOL DestroyCaret() {
    if (!t_caret.state.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    platform::Erase();
    platform::StopBlink();
    t_caret = platform::ThreadCaret{};
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    if (!platform::OwnsCaret(hwnd)) return FALSE;
    if (t_caret.state.hideCount == 0) return TRUE;
    if (--t_caret.state.hideCount == 0) {
        platform::StartBlink();
        platform::Refresh();
    }
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    if (!platform::OwnsCaret(hwnd)) return FALSE;
    if (t_caret.state.hideCount++ == 0) {
        platform::StopBlink();
        platform::Erase();
    }
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    if (!t_caret.state.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    RECT& r = t_caret.state.rect;
    if (r.left == x && r.top == y) return TRUE;
    platform::Erase();
    const LONG width = r.right - r.left;
    const LONG height = r.bottom - r.top;
    r = RECT{x, y, x + width, y + height};
    // A moved caret shows at once and starts a new blink phase, as typing expects.
    if (t_caret.state.hideCount == 0) platform::StartBlink();
    platform::Refresh();
    return TRUE;
}

BOOL GetCaretPos(POINT* point) {
    if (!point || !t_caret.state.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *point = POINT{t_caret.state.rect.left, t_caret.state.rect.top};
    return TRUE;
}

UINT GetCaretBlinkTime() {
    return platform::g_blinkMs.load();
}

BOOL SetCaretBlinkTime(UINT milliseconds) {
    platform::g_blinkMs.store(milliseconds ? milliseconds : platform::kDefaultBlinkMs);
    return TRUE;
}
