#include "platform/window/Focus.h"

#include <mutex>

#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

struct InputState {
    std::mutex mutex;
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
};

InputState& State() {
    static auto* state = new InputState;
    return *state;
}

HWND Exchange(HWND InputState::*field, HWND value) {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    HWND previous = state.*field;
    state.*field = value;
    return previous;
}

HWND Read(HWND InputState::*field) {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return state.*field;
}

HWND OnThisThread(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    return window && window->Queue()->IsOwnerThread() ? hwnd : nullptr;
}

}  // namespace

HWND ActiveWindowAnyThread() {
    return Read(&InputState::active);
}

HWND FocusAnyThread() {
    return Read(&InputState::focus);
}

HWND CaptureAnyThread() {
    return Read(&InputState::capture);
}

void SetFocusTo(HWND hwnd) {
    const HWND previous = Exchange(&InputState::focus, hwnd);
    if (previous == hwnd) return;
    if (previous && IsWindow(previous)) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    // A WM_KILLFOCUS handler may have moved the focus elsewhere: then that move wins.
    if (hwnd && FocusAnyThread() == hwnd && IsWindow(hwnd)) {
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    if (FocusAnyThread() != hwnd) return;  // a WM_SETFOCUS handler moved it on: that move told the display
    if (IWindowBackend* backend = CurrentWindowBackend()) {
        auto window = LookUpWindow(hwnd);
        if (!window || BackendFor(*window)) backend->FocusChanged(window.get());
    }
}

void ActivateWindow(HWND hwnd, WORD how) {
    const HWND previous = ActiveWindowAnyThread();
    if (previous == hwnd) return;
    if (hwnd) ZOrderRaise(hwnd);
    Exchange(&InputState::active, hwnd);
    if (previous && IsWindow(previous)) {
        SendMessageW(previous, WM_NCACTIVATE, FALSE, 0);
        SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(previous) ? 1 : 0),
                     reinterpret_cast<LPARAM>(hwnd));
    }
    if (hwnd && ActiveWindowAnyThread() == hwnd && IsWindow(hwnd)) {
        SendMessageW(hwnd, WM_NCACTIVATE, TRUE, 0);
        SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(hwnd) ? 1 : 0), reinterpret_cast<LPARAM>(previous));
    }
    if (ActiveWindowAnyThread() != hwnd) return;  // a handler activated another window meanwhile
    const HWND focus = FocusAnyThread();
    if (!hwnd || IsIconic(hwnd)) {
        SetFocusTo(nullptr);
    } else if (focus != hwnd && !IsDescendant(hwnd, focus)) {
        SetFocusTo(hwnd);
    }
    auto window = LookUpWindow(hwnd);
    if (IWindowBackend* backend = CurrentWindowBackend()) {
        if (!window || BackendFor(*window)) backend->ActiveChanged(window.get());
    }
}

void ActivateNextAfter(HWND leaving) {
    auto window = LookUpWindow(leaving);
    HWND next = nullptr;
    if (window) {
        auto owner = LookUpWindow(window->Owner());
        if (owner && (owner->Style() & WS_VISIBLE) && !(owner->Style() & (WS_DISABLED | WS_MINIMIZE)) &&
            owner->Queue()->IsOwnerThread()) {
            next = owner->Handle();
        }
    }
    ActivateWindow(next, WA_ACTIVE);
}

void WindowLeavingScreen(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    if (window->Style() & WS_VISIBLE) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (ActiveWindowAnyThread() == hwnd) ActivateNextAfter(hwnd);
    const HWND focus = FocusAnyThread();
    if (focus == hwnd || IsDescendant(hwnd, focus)) SetFocusTo(nullptr);
    const HWND capture = CaptureAnyThread();
    if (capture == hwnd || IsDescendant(hwnd, capture)) ReleaseCapture();
}

void ForgetFocusState(HWND hwnd) {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (state.active == hwnd) state.active = nullptr;
    if (state.focus == hwnd) state.focus = nullptr;
    if (state.capture == hwnd) state.capture = nullptr;
}

}  // namespace platform

using platform::Exchange;
using platform::InputState;

HWND SetFocus(HWND hwnd) {
    const HWND previous = platform::OnThisThread(platform::FocusAnyThread());
    if (!hwnd) {
        platform::SetFocusTo(nullptr);
        return previous;
    }
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return nullptr;
    for (auto current = window; current; current = platform::LookUpWindow(current->Parent())) {
        if (current->Style() & (WS_DISABLED | WS_MINIMIZE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        if (!(current->Style() & WS_CHILD)) break;
    }
    auto top = platform::TopLevelWindow(window);
    if (top && platform::ActiveWindowAnyThread() != top->Handle()) platform::ActivateWindow(top->Handle(), WA_ACTIVE);
    platform::SetFocusTo(hwnd);
    return previous;
}

HWND GetFocus() {
    return platform::OnThisThread(platform::FocusAnyThread());
}

HWND SetActiveWindow(HWND hwnd) {
    const HWND previous = platform::OnThisThread(platform::ActiveWindowAnyThread());
    if (!hwnd) {
        platform::ActivateWindow(nullptr, WA_ACTIVE);
        return previous;
    }
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return nullptr;
    auto top = platform::TopLevelWindow(window);
    if (top->Style() & WS_DISABLED) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    platform::ActivateWindow(top->Handle(), WA_ACTIVE);
    return previous;
}

HWND GetActiveWindow() {
    return platform::OnThisThread(platform::ActiveWindowAnyThread());
}

BOOL SetForegroundWindow(HWND hwnd) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    auto top = platform::TopLevelWindow(window);
    platform::ActivateWindow(top->Handle(), WA_ACTIVE);
    return platform::ActiveWindowAnyThread() == top->Handle() ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
    return platform::ActiveWindowAnyThread();
}

HWND SetCapture(HWND hwnd) {
    const HWND previous = platform::CaptureAnyThread();
    if (hwnd && !platform::OwnWindowOrFail(hwnd)) return nullptr;
    Exchange(&InputState::capture, hwnd);
    if (previous && previous != hwnd && IsWindow(previous)) {
        SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return platform::OnThisThread(previous);
}

BOOL ReleaseCapture() {
    const HWND previous = Exchange(&InputState::capture, nullptr);
    if (previous && IsWindow(previous)) SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return platform::OnThisThread(platform::CaptureAnyThread());
}
