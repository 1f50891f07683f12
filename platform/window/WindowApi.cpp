#include "platform/window/WindowApi.h"

#include <unistd.h>

#include "platform/types/ErrorCodes.h"
#include "platform/window/DefWindowDisplay.h"
#include "platform/window/Focus.h"
#include "platform/window/Icon.h"
#include "platform/window/Menu.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTable.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

std::shared_ptr<WindowObject> FindOrFail(HWND hwnd) {
    auto window = WindowTable::Instance().Find(hwnd);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

// Owners are always top-level windows, as callers of GetWindow(GW_OWNER) expect.
HWND TopLevelOf(const std::shared_ptr<WindowObject>& window) {
    auto current = window;
    for (int depth = 0; depth < 256 && (current->Style() & WS_CHILD); ++depth) {
        auto parent = WindowTable::Instance().Find(current->Parent());
        if (!parent) break;
        current = std::move(parent);
    }
    return current->Handle();
}

// After WM_NCDESTROY: the handle leaves the table and nothing reaches the window any more.
void FinishDestroy(const std::shared_ptr<WindowObject>& window) {
    WindowTable::Instance().Retire(window);
    window->Queue()->KillTimersOf(window->Handle());
    ForgetWindow(window->Handle());
    ForgetSystemMenu(window->Handle());
    ForgetWindowIcons(window->Handle());
    IWindowBackend* backend = CurrentWindowBackend();
    if (backend && !window->IsMessageOnly()) backend->WindowDestroyed(*window);
}

void SendDestroyMessages(const std::shared_ptr<WindowObject>& window) {
    window->Deliver(WM_DESTROY, 0, 0);
    // Children still exist during the parent's WM_DESTROY; each goes down before the parent's WM_NCDESTROY.
    for (HWND childHandle : window->Children()) {
        auto child = WindowTable::Instance().Find(childHandle);
        if (!child) continue;
        if (!child->Queue()->IsOwnerThread()) {
            // Another thread's procedure cannot run here; the child lives on without a parent.
            child->DetachFromParent();
            window->RemoveChild(childHandle);
            continue;
        }
        if (child->BeginDestroy()) SendDestroyMessages(child);
    }
    window->Deliver(WM_NCDESTROY, 0, 0);
    FinishDestroy(window);
}

}  // namespace

}  // namespace platform

using platform::FindOrFail;
using platform::MessageQueue;
using platform::WindowObject;
using platform::WindowTable;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    auto windowClass = platform::FindWindowClass(className);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    WindowObject::Placement placement;
    std::shared_ptr<WindowObject> parentWindow;
    if (parent == HWND_MESSAGE) {
        placement.messageOnly = true;
    } else if (parent) {
        parentWindow = FindOrFail(parent);
        if (!parentWindow) return nullptr;
        if (style & WS_CHILD) {
            placement.parent = parent;
        } else {
            placement.owner = platform::TopLevelOf(parentWindow);
        }
    } else if (style & WS_CHILD) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }

    CREATESTRUCTW create;
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cy = height;
    create.cx = width;
    create.y = y;
    create.x = x;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;

    auto& table = WindowTable::Instance();
    const HWND hwnd = table.NewHandle();
    auto window =
        std::make_shared<WindowObject>(hwnd, windowClass, MessageQueue::ForCurrentThread(), create, placement);
    windowClass->windowCount.fetch_add(1);
    table.Insert(window);
    if (placement.parent) parentWindow->AddChild(hwnd);
    // The display side exists before the first message, so creation handlers may already draw or move.
    platform::IWindowBackend* backend = platform::CurrentWindowBackend();
    if (backend && !window->IsMessageOnly()) backend->WindowCreated(*window);
    if (!placement.parent && !placement.messageOnly) platform::ZOrderAdd(hwnd);
    // A window created visible is shown once it exists, with the messages of ShowWindow.
    const bool showAfterCreate = (style & WS_VISIBLE) && !placement.messageOnly;
    if (showAfterCreate) window->ModifyStyle(0, WS_VISIBLE);

    SetLastError(ERROR_SUCCESS);
    const auto refused = [&] {
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    };
    if (!window->Deliver(WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        if (window->BeginDestroy()) {
            window->Deliver(WM_NCDESTROY, 0, 0);
            platform::FinishDestroy(window);
        }
        return refused();
    }
    if (window->IsDestroying()) return refused();
    if (window->Deliver(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return refused();
    }
    if (window->IsDestroying()) return refused();
    if (showAfterCreate) {
        const bool quiet = placement.parent || (exStyle & WS_EX_NOACTIVATE);
        ShowWindow(hwnd, quiet ? SW_SHOWNA : SW_SHOW);
        if (window->IsDestroying()) return refused();
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    auto window = FindOrFail(hwnd);
    if (!window) return FALSE;
    if (!window->Queue()->IsOwnerThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!window->BeginDestroy()) return TRUE;
    // Owned windows go completely before their owner hears of its own end.
    const auto owned = WindowTable::Instance().Select(
        [hwnd](const WindowObject& w) { return w.Owner() == hwnd && !w.IsDestroying(); });
    for (const auto& ownedWindow : owned) {
        if (ownedWindow->Queue()->IsOwnerThread()) DestroyWindow(ownedWindow->Handle());
    }
    platform::WindowLeavingScreen(hwnd);
    platform::SendDestroyMessages(window);
    return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (platform::DefaultDisplayMessage(hwnd, message, wParam, lParam, &result)) return result;
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);
            return 0;
        default:
            return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    auto window = FindOrFail(hwnd);
    if (!window) return 0;
    const auto value = window->GetLong(index);
    if (!value) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return *value;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    auto window = FindOrFail(hwnd);
    if (!window) return 0;
    const auto previous = window->SetLong(index, value);
    if (!previous) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return *previous;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    if (index == GWLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (index < 0) return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
    auto window = FindOrFail(hwnd);
    if (!window) return 0;
    const auto value = window->GetLong(index, sizeof(LONG));
    if (!value) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(*value);
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    if (index == GWLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (index < 0) return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
    auto window = FindOrFail(hwnd);
    if (!window) return 0;
    const auto previous = window->SetLong(index, value, sizeof(LONG));
    if (!previous) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<LONG>(*previous);
}

BOOL IsWindow(HWND hwnd) {
    return WindowTable::Instance().Find(hwnd) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
    auto window = FindOrFail(hwnd);
    if (!window) return nullptr;
    const DWORD style = window->Style();
    if (style & WS_CHILD) return window->Parent();
    if (style & WS_POPUP) return window->Owner();
    return nullptr;
}

HWND GetWindow(HWND hwnd, UINT relation) {
    auto window = FindOrFail(hwnd);
    if (!window) return nullptr;
    switch (relation) {
        case GW_OWNER:
            return (window->Style() & WS_CHILD) ? nullptr : window->Owner();
        case GW_CHILD: {
            const auto children = window->Children();
            return children.empty() ? nullptr : children.front();
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    auto window = FindOrFail(hwnd);
    if (!window) return 0;
    if (processId) *processId = static_cast<DWORD>(::getpid());
    return window->Queue()->ThreadId();
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto window = FindOrFail(hwnd);
    if (!window) return FALSE;
    const bool wasDisabled = window->SetEnabled(enable != FALSE);
    // A disabled window cannot keep the keyboard focus.
    if (!enable && !wasDisabled && platform::FocusAnyThread() == hwnd) platform::SetFocusTo(nullptr);
    if (wasDisabled == (enable != FALSE)) SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto window = FindOrFail(hwnd);
    return window && !(window->Style() & WS_DISABLED) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto window = WindowTable::Instance().Find(hwnd);
    for (int depth = 0; window && depth < 256; ++depth) {
        const DWORD style = window->Style();
        if (!(style & WS_VISIBLE)) return FALSE;
        if (!(style & WS_CHILD)) return TRUE;
        window = WindowTable::Instance().Find(window->Parent());
    }
    return FALSE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    auto window = FindOrFail(hwnd);
    if (!window) return FALSE;
    platform::InvalidateTree(window, platform::Region(rect ? *rect : window->ClientRect()), erase != FALSE, false);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    auto window = FindOrFail(hwnd);
    if (!window) return FALSE;
    window->Validate(rect);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    auto window = FindOrFail(hwnd);
    if (!window) return FALSE;
    if (window->NeedsPaint() && IsWindowVisible(hwnd)) SendMessageW(hwnd, WM_PAINT, 0, 0);
    // Children painted after the parent, as the parent's paint may have invalidated them.
    for (HWND child : window->Children()) {
        if (IsWindow(child)) UpdateWindow(child);
    }
    return TRUE;
}
