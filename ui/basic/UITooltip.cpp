#include "ui/basic/UITooltip.h"

#include <algorithm>

#include "platform/window/MessageApi.h"
#include "platform/window/Paint.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

constexpr wchar_t kPopupClass[] = L"SkinUITooltip";

}  // namespace

CUITooltip::CUITooltip(CUIPaintManager* manager) : m_manager(manager) {
    if (m_manager != nullptr) m_manager->AddMessageFilter(this);
}

CUITooltip::~CUITooltip() {
    if (m_manager != nullptr) m_manager->RemoveMessageFilter(this);
    // The owner's destruction may have taken the pop-up already.
    if (m_popup != nullptr && IsWindow(m_popup)) {
        SetWindowLongPtrW(m_popup, GWLP_USERDATA, 0);
        DestroyWindow(m_popup);
    }
}

LRESULT CUITooltip::PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* tooltip = reinterpret_cast<CUITooltip*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (tooltip != nullptr && message == WM_PAINT) {
        tooltip->PaintPopup();
        return 0;
    }
    if (tooltip != nullptr && message == WM_NCDESTROY) tooltip->m_popup = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CUITooltip::ShowPopup() {
    HWND owner = m_manager->GetPaintWindow();
    if (owner == nullptr) return;
    if (m_popup == nullptr || !IsWindow(m_popup)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PopupProc;
        wc.lpszClassName = kPopupClass;
        RegisterClassExW(&wc);  // fails harmlessly once the class exists
        m_popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPopupClass, L"", WS_POPUP, 0, 0,
                                  0, 0, owner, nullptr, nullptr, nullptr);
        if (m_popup == nullptr) return;
        SetWindowLongPtrW(m_popup, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    POINT origin{m_box.left, m_box.top};
    ClientToScreen(owner, &origin);
    SetWindowPos(m_popup, nullptr, origin.x, origin.y, m_box.right - m_box.left, m_box.bottom - m_box.top,
                 SWP_NOACTIVATE | SWP_NOZORDER);
    InvalidateRect(m_popup, nullptr, FALSE);
    ShowWindow(m_popup, SW_SHOWNOACTIVATE);
}

void CUITooltip::PaintPopup() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_popup, &paint);
    if (dc != nullptr) {
        const RECT whole{0, 0, m_box.right - m_box.left, m_box.bottom - m_box.top};
        CUIRenderEngine::FillColor(dc, whole, kBackColor);
        CUIRenderEngine::StrokeRect(dc, whole, 1, kFrameColor);
        RECT text{kPadding, kPadding, whole.right - kPadding, whole.bottom - kPadding};
        CUIRenderEngine::DrawPlainText(dc, m_manager, text, m_text.View(), m_manager->DefaultTextColor(), -1,
                                       DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    EndPaint(m_popup, &paint);
}

LRESULT CUITooltip::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    if (m_manager == nullptr) return 0;
    switch (message) {
        case WM_MOUSEHOVER:
            // The manager's hover tracking; the manager handles the message after us.
            if (!m_manager->IsCaptured()) {
                // Only for the control really under the mouse, however the hover was left.
                CControlUI* hover = m_manager->GetHoverControl();
                const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                if (hover != nullptr && hover != m_control && m_manager->ControlAtPoint(at.x, at.y) == hover) {
                    Open(hover, m_mouse);
                }
            }
            break;
        case WM_MOUSEMOVE: {
            m_mouse = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            // Compared, never followed: the control may have been deleted since.
            if (m_control != nullptr && m_manager->ControlAtPoint(m_mouse.x, m_mouse.y) != m_control) Close();
            break;
        }
        case WM_ENABLE:
            if (wParam == FALSE) Close();
            break;
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_KEYDOWN:
        case WM_KILLFOCUS:
        case WM_DESTROY:
            Close();
            break;
        default:
            break;
    }
    return 0;
}

void CUITooltip::Open(CControlUI* control, POINT mouse) {
    if (control == nullptr || control->GetTooltip().IsEmpty()) {
        Close();
        return;
    }
    m_control = control;
    m_text = control->GetTooltip();
    RECT measured{0, 0, 0, 0};
    CUIRenderEngine::DrawPlainText(m_manager->MeasureDC(), m_manager, measured, m_text.View(), 0xFF000000, -1,
                                   DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int width = measured.right - measured.left + 2 * kPadding;
    const int height = measured.bottom - measured.top + 2 * kPadding;
    const SIZE client = m_manager->GetClientSize();
    int left = mouse.x;
    int top = mouse.y + kCursorGap;
    // Kept inside the window where it fits; a tip wider than the window starts at its left.
    if (left + width > client.cx) left = std::max(0, static_cast<int>(client.cx) - width);
    if (top + height > client.cy) top = std::max(0, mouse.y - height);
    m_box = RECT{left, top, left + width, top + height};
    ShowPopup();
}

void CUITooltip::Close() {
    if (m_control == nullptr) return;
    m_control = nullptr;
    m_text.Clear();
    m_box = RECT{};
    if (m_popup != nullptr && IsWindow(m_popup)) ShowWindow(m_popup, SW_HIDE);
}

}  // namespace SkinUI
