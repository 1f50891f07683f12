#include "platform/window/WindowPos.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/types/ErrorCodes.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

thread_local bool t_systemMove = false;

WPARAM SizeKind(DWORD style) {
    if (style & WS_MINIMIZE) return SIZE_MINIMIZED;
    if (style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

LPARAM PackPoint(LONG x, LONG y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

void SendSizeMessage(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    const RECT r = window->ClientRect();
    const WPARAM kind = SizeKind(window->Style());
    SendMessageW(hwnd, WM_SIZE, kind, kind == SIZE_MINIMIZED ? 0 : PackPoint(r.right, r.bottom));
}

void SendMoveMessage(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    const RECT r = window->WindowRect();
    SendMessageW(hwnd, WM_MOVE, 0, PackPoint(r.left, r.top));
}

// The parent's area the window covered, which must be painted again without it.
void ExposeParent(const std::shared_ptr<WindowObject>& window, const RECT& area) {
    if (!(window->Style() & WS_CHILD)) return;
    if (auto parent = LookUpWindow(window->Parent())) InvalidateTree(parent, Region(area), true, false);
}

void ApplyZOrder(HWND hwnd, HWND insertAfter) {
    if (insertAfter == HWND_BOTTOM) {
        ZOrderLower(hwnd);
        return;
    }
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    if (insertAfter == HWND_TOPMOST) {
        window->SetLong(GWL_EXSTYLE, static_cast<LONG_PTR>(window->ExStyle() | WS_EX_TOPMOST));
    } else if (insertAfter == HWND_NOTOPMOST) {
        window->SetLong(GWL_EXSTYLE, static_cast<LONG_PTR>(window->ExStyle() & ~WS_EX_TOPMOST));
    }
    // Placing after a particular window is taken as a raise: callers only bring windows forward.
    ZOrderRaise(hwnd);
}

BOOL SetWindowPosImpl(const std::shared_ptr<WindowObject>& window, HWND insertAfter, int x, int y, int cx, int cy,
                      UINT flags) {
    // Only this change came from the display; moves its handlers make in turn must still reach it.
    const bool systemMove = std::exchange(t_systemMove, false);
    const HWND hwnd = window->Handle();
    const bool child = (window->Style() & WS_CHILD) != 0;
    const RECT before = window->WindowRect();
    const bool wasVisible = (window->Style() & WS_VISIBLE) != 0;
    if ((flags & SWP_SHOWWINDOW) && wasVisible) flags &= ~SWP_SHOWWINDOW;
    if ((flags & SWP_HIDEWINDOW) && !wasVisible) flags &= ~SWP_HIDEWINDOW;
    if (child || window->IsMessageOnly()) flags |= SWP_NOACTIVATE;

    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = before.left;
        pos.y = before.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = before.right - before.left;
        pos.cy = before.bottom - before.top;
    }
    if (!(flags & SWP_NOSENDCHANGING)) {
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (window->IsGone()) return FALSE;
    }
    pos.cx = std::max(0, pos.cx);
    pos.cy = std::max(0, pos.cy);
    const RECT after{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    const bool moved = after.left != before.left || after.top != before.top;
    const bool sized = (after.right - after.left) != (before.right - before.left) ||
                       (after.bottom - after.top) != (before.bottom - before.top);
    if (moved || sized) window->SetWindowRect(after);
    if (flags & SWP_FRAMECHANGED) {
        NCCALCSIZE_PARAMS params;
        params.rgrc[0] = after;
        params.lppos = &pos;
        SendMessageW(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    }
    if (flags & SWP_SHOWWINDOW) window->ModifyStyle(WS_VISIBLE, 0);
    if (flags & SWP_HIDEWINDOW) window->ModifyStyle(0, WS_VISIBLE);
    if (!child && !window->IsMessageOnly() && !(flags & SWP_NOZORDER)) ApplyZOrder(hwnd, insertAfter);

    const bool visibleNow = (window->Style() & WS_VISIBLE) != 0;
    if (!(flags & SWP_NOREDRAW)) {
        if (visibleNow && ((flags & SWP_SHOWWINDOW) || sized || (flags & SWP_FRAMECHANGED))) {
            InvalidateTree(window, Region(window->ClientRect()), true, true);
        }
        if (wasVisible && (moved || sized || (flags & SWP_HIDEWINDOW))) ExposeParent(window, before);
        if (visibleNow && child && moved) ExposeParent(window, after);
    }

    if (child && (moved || sized || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)))) {
        if (IWindowBackend* display = BackendFor(*window)) display->ChildPlaced(*window);
    }
    IWindowBackend* backend = child ? nullptr : BackendFor(*window);
    if (backend && !systemMove && (moved || sized)) backend->WindowMoved(*window);
    if (backend && (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) backend->WindowShown(*window);
    if (backend && !(flags & SWP_NOZORDER)) backend->WindowChanged(*window);

    if ((flags & SWP_SHOWWINDOW) && !(flags & SWP_NOACTIVATE)) ActivateWindow(hwnd, WA_ACTIVE);
    if ((flags & SWP_HIDEWINDOW) && ActiveWindowAnyThread() == hwnd) ActivateNextAfter(hwnd);
    if ((flags & SWP_HIDEWINDOW) && (FocusAnyThread() == hwnd || IsDescendant(hwnd, FocusAnyThread()))) {
        SetFocusTo(nullptr);
    }
    if (window->IsGone()) return TRUE;

    pos.flags = flags;
    if (!moved) pos.flags |= SWP_NOCLIENTMOVE | SWP_NOMOVE;
    if (!sized) pos.flags |= SWP_NOCLIENTSIZE | SWP_NOSIZE;
    pos.x = after.left;
    pos.y = after.top;
    pos.cx = after.right - after.left;
    pos.cy = after.bottom - after.top;
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

RECT MaximizedRect(HWND hwnd) {
    const MINMAXINFO info = QueryMinMaxInfo(hwnd);
    return RECT{info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxPosition.x + info.ptMaxSize.x,
                info.ptMaxPosition.y + info.ptMaxSize.y};
}

}  // namespace

void ApplySystemMove(HWND hwnd, const RECT& screenRect) {
    auto window = LookUpWindow(hwnd);
    if (!window || !window->Queue()->IsOwnerThread()) return;
    t_systemMove = true;
    SetWindowPosImpl(window, nullptr, screenRect.left, screenRect.top, screenRect.right - screenRect.left,
                     screenRect.bottom - screenRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    t_systemMove = false;
}

MINMAXINFO QueryMinMaxInfo(HWND hwnd) {
    const RECT work = WorkArea();
    MINMAXINFO info;
    info.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
    info.ptMaxPosition = POINT{work.left, work.top};
    info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
    info.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

}  // namespace platform

using platform::LookUpWindow;
using platform::WindowObject;
using platform::WindowOrFail;

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT r = window->WindowRect();
    const POINT origin = platform::ScreenOrigin(*window);
    *rect = RECT{origin.x, origin.y, origin.x + (r.right - r.left), origin.y + (r.bottom - r.top)};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = window->ClientRect();
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    return platform::SetWindowPosImpl(window, insertAfter, x, y, cx, cy, flags);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND hwnd, int command) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    const DWORD style = window->Style();
    const bool wasVisible = (style & WS_VISIBLE) != 0;
    const RECT current = window->WindowRect();
    UINT flags = SWP_NOZORDER;
    std::optional<RECT> target;
    WPARAM extraSize = 0;
    bool minimizing = false;
    switch (command) {
        case SW_HIDE:
            if (!wasVisible) return FALSE;
            flags |= SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            flags |= SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
            if (!(style & WS_MINIMIZE)) {
                if (!(style & WS_MAXIMIZE)) window->SetRestoreRect(current);
                window->ModifyStyle(WS_MINIMIZE, WS_MAXIMIZE);
                minimizing = true;
                extraSize = SIZE_MINIMIZED;
            }
            break;
        case SW_MAXIMIZE:
            if (!(style & (WS_MINIMIZE | WS_MAXIMIZE))) window->SetRestoreRect(current);
            window->ModifyStyle(WS_MAXIMIZE, WS_MINIMIZE);
            target = platform::MaximizedRect(hwnd);
            flags |= SWP_SHOWWINDOW;
            break;
        case SW_SHOWNA:
            flags |= SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
            break;
        case SW_SHOW:
            flags |= SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE;
            break;
        case SW_SHOWNOACTIVATE:
        case SW_SHOWNORMAL:
        case SW_SHOWDEFAULT:
        case SW_RESTORE:
            flags |= SWP_SHOWWINDOW;
            if (command == SW_SHOWNOACTIVATE) flags |= SWP_NOACTIVATE;
            if (style & (WS_MINIMIZE | WS_MAXIMIZE)) {
                window->ModifyStyle(0, WS_MINIMIZE | WS_MAXIMIZE);
                if (style & WS_MINIMIZE) extraSize = SIZE_RESTORED;
                if (auto saved = window->RestoreRect(); saved && (style & WS_MAXIMIZE)) target = *saved;
                if (!(style & WS_MAXIMIZE) || !window->RestoreRect()) flags |= SWP_NOSIZE | SWP_NOMOVE;
                window->SetRestoreRect(std::nullopt);
            } else {
                flags |= SWP_NOSIZE | SWP_NOMOVE;
            }
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    const bool showing = (flags & SWP_SHOWWINDOW) != 0;
    if (showing != wasVisible) SendMessageW(hwnd, WM_SHOWWINDOW, showing ? TRUE : FALSE, 0);
    if (window->IsGone()) return wasVisible ? TRUE : FALSE;
    const RECT r = target.value_or(current);
    platform::SetWindowPosImpl(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
    if (window->IsGone()) return wasVisible ? TRUE : FALSE;

    const bool changedState = (window->Style() & (WS_MINIMIZE | WS_MAXIMIZE)) != (style & (WS_MINIMIZE | WS_MAXIMIZE));
    if (changedState) {
        if (platform::IWindowBackend* backend = platform::BackendFor(*window)) backend->WindowShown(*window);
    }
    if (minimizing && platform::ActiveWindowAnyThread() == hwnd) platform::ActivateNextAfter(hwnd);
    if ((window->Style() & WS_VISIBLE) && window->TakeFirstShow()) {
        platform::SendSizeMessage(hwnd);
        platform::SendMoveMessage(hwnd);
    } else if (extraSize == SIZE_MINIMIZED || (extraSize == SIZE_RESTORED && !target)) {
        platform::SendSizeMessage(hwnd);
    }
    // Showing an already visible window activates it too; the hidden case activated inside SetWindowPos.
    const bool activates = command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_SHOWDEFAULT ||
                           command == SW_RESTORE || command == SW_MAXIMIZE;
    if (activates && !(window->Style() & WS_CHILD) && !window->IsGone() && platform::ActiveWindowAnyThread() != hwnd) {
        platform::ActivateWindow(hwnd, WA_ACTIVE);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    return window && (window->Style() & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    return window && (window->Style() & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL BringWindowToTop(HWND hwnd) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    return platform::SetWindowPosImpl(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

BOOL IsChild(HWND parent, HWND hwnd) {
    return parent && platform::IsDescendant(parent, hwnd) ? TRUE : FALSE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    auto window = WindowOrFail(hwnd);
    if (!window || !point) return FALSE;
    const POINT origin = platform::ScreenOrigin(*window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    auto window = WindowOrFail(hwnd);
    if (!window || !point) return FALSE;
    const POINT origin = platform::ScreenOrigin(*window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT fromOrigin{0, 0};
    POINT toOrigin{0, 0};
    if (from) {
        auto window = WindowOrFail(from);
        if (!window) return 0;
        fromOrigin = platform::ScreenOrigin(*window);
    }
    if (to) {
        auto window = WindowOrFail(to);
        if (!window) return 0;
        toOrigin = platform::ScreenOrigin(*window);
    }
    const LONG dx = fromOrigin.x - toOrigin.x;
    const LONG dy = fromOrigin.y - toOrigin.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

HWND WindowFromPoint(POINT point) {
    auto window = platform::WindowAtPoint(point, platform::HitPurpose::Input);
    return window ? window->Handle() : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    auto window = WindowOrFail(parent);
    if (!window) return nullptr;
    const RECT client = window->ClientRect();
    if (point.x < client.left || point.y < client.top || point.x >= client.right || point.y >= client.bottom) {
        return nullptr;
    }
    const auto children = window->Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto child = LookUpWindow(*it);
        if (!child) continue;
        const RECT r = child->WindowRect();
        if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) return *it;
    }
    return parent;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
    auto window = WindowOrFail(hwnd);
    if (!window || !buffer || maxCount <= 0) return 0;
    if (window->Queue()->IsOwnerThread()) {
        return static_cast<int>(
            SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
    }
    // Another thread's window: its stored text, as Win32 does without sending.
    const std::wstring title = window->Title();
    const size_t count = std::min(title.size(), static_cast<size_t>(maxCount - 1));
    std::wmemcpy(buffer, title.data(), count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

int GetWindowTextLengthW(HWND hwnd) {
    auto window = WindowOrFail(hwnd);
    if (!window) return 0;
    if (window->Queue()->IsOwnerThread()) return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    return static_cast<int>(window->Title().size());
}
