#include "ui/window/WndShadow.h"

#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Insets beyond this are a skin mistake; they would make a surface of absurd size.
constexpr LONG kMaxInset = 256;

// The shadow never takes the mouse or activation: clicks fall through to what lies below.
LRESULT ShadowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

std::wstring ImageSpecText(const std::wstring& file, const RECT& insets) {
    return L"file='" + file + L"' corner='" + std::to_wstring(insets.left) + L"," + std::to_wstring(insets.top) + L"," +
           std::to_wstring(insets.right) + L"," + std::to_wstring(insets.bottom) + L"' hole='true'";
}

}  // namespace

bool CWndShadow::RegisterShadowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(nullptr, kClassName, &wc)) return true;
    wc.lpfnWndProc = &ShadowProc;
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

CWndShadow::~CWndShadow() {
    Detach();
}

bool CWndShadow::SetImage(std::wstring_view file, const RECT& insets) {
    if (insets.left < 0 || insets.top < 0 || insets.right < 0 || insets.bottom < 0 || insets.left > kMaxInset ||
        insets.top > kMaxInset || insets.right > kMaxInset || insets.bottom > kMaxInset) {
        return false;
    }
    m_file.assign(file);
    m_insets = insets;
    m_paintedSize = SIZE{};
    if (m_hwnd != nullptr) Follow(true);
    return true;
}

bool CWndShadow::Attach(HWND owner, IImageSourceUI* images) {
    Detach();
    if (m_file.empty() || images == nullptr || owner == nullptr || !IsWindow(owner) ||
        (GetWindowLongW(owner, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) != 0) {
        return false;
    }
    // Without a display that blends it, the shadow's soft alpha would show as a solid frame.
    if (!platform::TranslucentWindowsShown()) return false;
    if (!RegisterShadowClass()) return false;
    // Not owned by the window it shades: owned windows stay above their owner.
    m_hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"",
                             WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (m_hwnd == nullptr) return false;
    m_owner = owner;
    m_images = images;
    m_paintedSize = SIZE{};
    if (IsWindowVisible(owner)) {
        Follow(true);
        ShowShadow(true);
    }
    return true;
}

void CWndShadow::Detach() {
    if (m_hwnd != nullptr && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    m_owner = nullptr;
    m_images = nullptr;
    m_paintedSize = SIZE{};
}

void CWndShadow::OnOwnerMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (m_hwnd == nullptr) return;
    switch (message) {
        case WM_SHOWWINDOW:
            // Shown first, so the owner then comes up above it.
            if (wParam != 0 && !IsIconic(m_owner)) {
                Follow(false);
                ShowShadow(true);
            } else if (wParam == 0) {
                ShowShadow(false);
            }
            break;
        case WM_MOVE:
            Follow(false);
            break;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                ShowShadow(false);
            } else {
                Follow(false);
                if (IsWindowVisible(m_owner)) ShowShadow(true);
            }
            break;
        case WM_DESTROY:
            Detach();
            break;
        default:
            break;
    }
}

void CWndShadow::Follow(bool repaint) {
    RECT owner{};
    if (m_owner == nullptr || !GetWindowRect(m_owner, &owner)) return;
    const int width = (owner.right - owner.left) + m_insets.left + m_insets.right;
    const int height = (owner.bottom - owner.top) + m_insets.top + m_insets.bottom;
    const POINT position{owner.left - m_insets.left, owner.top - m_insets.top};
    if (repaint || width != m_paintedSize.cx || height != m_paintedSize.cy) {
        if (Paint(width, height, position)) return;
    }
    SetWindowPos(m_hwnd, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWndShadow::Paint(int width, int height, const POINT& position) {
    if (width <= 0 || height <= 0) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return false;
    HBITMAP bitmap = platform::CreateTopDownBitmap(dc, width, height, nullptr);
    if (bitmap == nullptr) {
        DeleteDC(dc);
        return false;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all{0, 0, width, height};
    const bool drawn = CUIRenderEngine::DrawImageSpec(dc, m_images, all, all, ImageSpecText(m_file, m_insets));
    bool updated = false;
    if (drawn) {
        POINT at = position;
        SIZE size{width, height};
        POINT source{0, 0};
        BLENDFUNCTION blend{};
        blend.BlendOp = AC_SRC_OVER;
        blend.SourceConstantAlpha = 255;
        blend.AlphaFormat = AC_SRC_ALPHA;
        updated = UpdateLayeredWindow(m_hwnd, nullptr, &at, &size, dc, &source, 0, &blend, ULW_ALPHA) != FALSE;
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (updated) m_paintedSize = SIZE{width, height};
    return updated;
}

void CWndShadow::ShowShadow(bool show) {
    if (m_hwnd == nullptr) return;
    if (show && m_paintedSize.cx == 0) Follow(true);
    ShowWindow(m_hwnd, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

}  // namespace SkinUI
