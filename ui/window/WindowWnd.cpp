#include "ui/window/WindowWnd.h"

#include <algorithm>

#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/Focus.h"
#include "platform/window/Icon.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

// Lives on RunModal's stack: the window procedure reports WM_CLOSE here, so the loop learns
// of it even when the object deletes itself while the close is handled.
struct CWindowWnd::ModalState {
    HWND owner = nullptr;
    bool ownerDisabled = false;
    bool closed = false;
    UINT result = kModalAborted;

    void EnableOwner() {
        if (ownerDisabled && IsWindow(owner)) EnableWindow(owner, TRUE);
        ownerDisabled = false;
    }
};

CWindowWnd::~CWindowWnd() {
    ReleaseWindow();
}

void CWindowWnd::ReleaseWindow() {
    if (m_hwnd == nullptr) return;
    const HWND hwnd = m_hwnd;
    m_hwnd = nullptr;
    if (!IsWindow(hwnd)) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (m_modal != nullptr) {
        m_modal->EnableOwner();
        m_modal = nullptr;
    }
    DestroyWindow(hwnd);
}

bool CWindowWnd::RegisterWindowClass() {
    const LPCWSTR name = RegisteredClassName();
    if (name == nullptr || name[0] == L'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    const LPCWSTR base = SuperclassName();
    if (base != nullptr) {
        if (!GetClassInfoExW(nullptr, base, &wc)) return false;
        m_previousProc = wc.lpfnWndProc;
    } else {
        wc.style = ClassStyleBits();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        m_previousProc = DefWindowProcW;
    }
    wc.lpfnWndProc = &CWindowWnd::WindowProc;
    wc.lpszClassName = name;
    wc.lpszMenuName = nullptr;
    if (RegisterClassExW(&wc) != 0) return true;
    // Another object of the same class registered it first.
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(nullptr, name, &existing) || existing.lpfnWndProc != &CWindowWnd::WindowProc) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return false;
    }
    return true;
}

HWND CWindowWnd::CreateHwnd(HWND parent, LPCWSTR title, DWORD style, DWORD exStyle, int x, int y, int width, int height,
                            HMENU menu) {
    if (m_hwnd != nullptr && IsWindow(m_hwnd)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    m_hwnd = nullptr;
    if (!RegisterWindowClass()) return nullptr;
    // m_hwnd is set from WM_NCCREATE on, so handlers of WM_CREATE can use it.
    const HWND hwnd = CreateWindowExW(exStyle, RegisteredClassName(), title != nullptr ? title : L"", style, x, y,
                                      width, height, parent, menu, nullptr, this);
    return hwnd;
}

HWND CWindowWnd::CreateHwndInRect(HWND parent, DWORD style, DWORD exStyle, const RECT& rect) {
    return CreateHwnd(parent, nullptr, style, exStyle, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, nullptr);
}

void CWindowWnd::ShowHwnd(bool show, bool takeFocus) {
    if (m_hwnd == nullptr || !IsWindow(m_hwnd)) return;
    ShowWindow(m_hwnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::CenterOnOwner() {
    if (m_hwnd == nullptr || !IsWindow(m_hwnd)) return;
    if ((GetWindowLongW(m_hwnd, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) != 0) return;
    RECT window{};
    if (!GetWindowRect(m_hwnd, &window)) return;
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work{};
    if (GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        work = monitor.rcWork;
    } else {
        work = platform::WorkArea();
    }
    RECT centre = work;
    const HWND owner = GetWindow(m_hwnd, GW_OWNER);
    RECT ownerRect{};
    if (owner != nullptr && !IsIconic(owner) && GetWindowRect(owner, &ownerRect)) centre = ownerRect;

    LONG left = centre.left + ((centre.right - centre.left) - width) / 2;
    LONG top = centre.top + ((centre.bottom - centre.top) - height) / 2;
    // Never off the work area; a window larger than it keeps its top-left corner inside.
    left = std::max(work.left, std::min(left, work.right - width));
    top = std::max(work.top, std::min(top, work.bottom - height));
    SetWindowPos(m_hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT CWindowWnd::RunModal() {
    if (m_hwnd == nullptr || !IsWindow(m_hwnd) || m_modal != nullptr) return kModalAborted;
    const HWND self = m_hwnd;
    ModalState state;
    state.owner = GetWindow(self, GW_OWNER);
    if (state.owner != nullptr && IsWindowEnabled(state.owner)) {
        EnableWindow(state.owner, FALSE);
        state.ownerDisabled = true;
    }
    m_modal = &state;

    // From here on `this` may be deleted by any dispatched message: only locals are used.
    MSG msg{};
    while (!state.closed && IsWindow(self)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!CUIPaintManager::PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    state.EnableOwner();
    if (IsWindow(self)) {
        auto* object = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(self, GWLP_USERDATA));
        if (object != nullptr && object->m_modal == &state) object->m_modal = nullptr;
    }
    return state.result;
}

void CWindowWnd::PostClose(UINT result) {
    if (m_hwnd == nullptr) return;
    PostMessageW(m_hwnd, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

bool CWindowWnd::SetWindowIcon() {
    if (m_hwnd == nullptr || !IsWindow(m_hwnd)) return false;
    const HINSTANCE program = GetModuleHandleW(nullptr);
    const HICON big = LoadImageW(program, MAKEINTRESOURCEW(kWindowIconId), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                 GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
    const HICON small = LoadImageW(program, MAKEINTRESOURCEW(kWindowIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    if (big == nullptr || small == nullptr) return false;
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    return true;
}

LRESULT CWindowWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(m_previousProc != nullptr ? m_previousProc : DefWindowProcW, m_hwnd, message, wParam,
                           lParam);
}

void CWindowWnd::OnLastMessage(HWND /*hwnd*/) {}

LRESULT CWindowWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = create != nullptr ? static_cast<CWindowWnd*>(create->lpCreateParams) : nullptr;
        if (self != nullptr) {
            self->m_hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

    if (message == WM_CLOSE && self->m_modal != nullptr) {
        // The owner must be usable again before this window goes, so activation returns to it.
        ModalState* modal = self->m_modal;
        self->m_modal = nullptr;
        modal->closed = true;
        modal->result = static_cast<UINT>(wParam);
        modal->EnableOwner();
    }
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->OnWindowMessage(message, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        if (self->m_modal != nullptr) {
            self->m_modal->EnableOwner();
            self->m_modal = nullptr;
        }
        // Destroyed from inside one of its own messages: the handlers of that message are
        // still on the stack and may use the object, so its last call waits for them.
        if (self->m_messageDepth > 0) {
            self->m_lastMessagePending = true;
            self->m_destroyedHwnd = hwnd;
        } else {
            self->OnLastMessage(hwnd);
        }
        return result;
    }
    ++self->m_messageDepth;
    const LRESULT result = self->OnWindowMessage(message, wParam, lParam);
    if (--self->m_messageDepth == 0 && self->m_lastMessagePending) {
        self->m_lastMessagePending = false;
        self->OnLastMessage(self->m_destroyedHwnd);
    }
    return result;
}

}  // namespace SkinUI
