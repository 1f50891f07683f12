#include "platform/window/Screen.h"

#include <mutex>

#include "platform/types/ErrorCodes.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

const HMONITOR kMonitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10001));
constexpr UINT kDoubleClickMs = 500;

struct CursorState {
    std::mutex mutex;
    HCURSOR current = nullptr;
    POINT position;
};

CursorState& Cursor() {
    static auto* state = new CursorState;
    return *state;
}

bool IsStockCursorId(uintptr_t id) {
    switch (id) {
        case 32512:
        case 32513:
        case 32514:
        case 32515:
        case 32642:
        case 32643:
        case 32644:
        case 32645:
        case 32646:
        case 32648:
        case 32649:
            return true;
        default:
            return false;
    }
}

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

ScreenGeometry CurrentScreen() {
    IWindowBackend* backend = CurrentWindowBackend();
    return backend ? backend->Screen() : ScreenGeometry{};
}

RECT WorkArea() {
    return CurrentScreen().workArea;
}

bool TranslucentWindowsShown() {
    IWindowBackend* backend = CurrentWindowBackend();
    return backend == nullptr || backend->ShowsTranslucency();
}

void SetCursorPosition(POINT screen) {
    auto& state = Cursor();
    std::lock_guard lock(state.mutex);
    state.position = screen;
}

UINT CursorShapeId(HCURSOR cursor) {
    return static_cast<UINT>(reinterpret_cast<uintptr_t>(cursor));
}

}  // namespace platform

int GetSystemMetrics(int index) {
    const auto screen = platform::CurrentScreen();
    const int width = screen.screen.right - screen.screen.left;
    const int height = screen.screen.bottom - screen.screen.top;
    const RECT work = screen.workArea;
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXVIRTUALSCREEN:
        case SM_CXMAXTRACK:
            return width;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN:
        case SM_CYMAXTRACK:
            return height;
        case SM_XVIRTUALSCREEN:
            return screen.screen.left;
        case SM_YVIRTUALSCREEN:
            return screen.screen.top;
        case SM_CXFULLSCREEN:
        case SM_CXMAXIMIZED:
            return work.right - work.left;
        case SM_CYFULLSCREEN:
        case SM_CYMAXIMIZED:
            return work.bottom - work.top;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 23;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CXMIN:
            return 112;
        case SM_CYMIN:
            return 27;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
            return 4;
        case SM_CXDRAG:
        case SM_CYDRAG:
            return 4;
        case SM_CMONITORS:
            return 1;
        default:
            return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT /*uiParam*/, LPVOID param, UINT /*winIni*/) {
    if (action != SPI_GETWORKAREA || !param) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(param) = platform::WorkArea();
    return TRUE;
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags == MONITOR_DEFAULTTONULL && !platform::Overlaps(*rect, platform::CurrentScreen().screen)) return nullptr;
    return platform::kMonitor;
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    if (flags == MONITOR_DEFAULTTONULL && !platform::Inside(platform::CurrentScreen().screen, point)) return nullptr;
    return platform::kMonitor;
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return nullptr;
    return MonitorFromRect(&rect, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
    if (monitor != platform::kMonitor || !info || info->cbSize != sizeof(MONITORINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto screen = platform::CurrentScreen();
    info->rcMonitor = screen.screen;
    info->rcWork = screen.workArea;
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    const auto id = reinterpret_cast<uintptr_t>(name);
    if (instance || !platform::IsStockCursorId(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = nullptr;
    {
        auto& state = platform::Cursor();
        std::lock_guard lock(state.mutex);
        previous = state.current;
        state.current = cursor;
    }
    if (previous != cursor) {
        if (platform::IWindowBackend* backend = platform::CurrentWindowBackend()) backend->CursorChanged(cursor);
    }
    return previous;
}

HCURSOR GetCursor() {
    auto& state = platform::Cursor();
    std::lock_guard lock(state.mutex);
    return state.current;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& state = platform::Cursor();
    std::lock_guard lock(state.mutex);
    *point = state.position;
    return TRUE;
}

UINT GetDoubleClickTime() {
    return platform::kDoubleClickMs;
}
