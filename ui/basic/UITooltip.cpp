#include "ui/basic/UITooltip.h"

#include <algorithm>

#include "platform/window/WinMessages.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

CUITooltip::CUITooltip(CUIPaintManager* manager) : m_manager(manager) {
    if (m_manager != nullptr) m_manager->AddMessageFilter(this);
}

CUITooltip::~CUITooltip() {
    if (m_manager != nullptr) m_manager->RemoveMessageFilter(this);
}

LRESULT CUITooltip::FilterMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam, bool& handled) {
    handled = false;
    if (m_manager == nullptr) return 0;
    switch (message) {
        case WM_MOUSEHOVER:
            // The manager's hover tracking; the manager handles the message after us.
            if (!m_manager->IsCaptured()) {
                CControlUI* hover = m_manager->GetHoverControl();
                if (hover != nullptr && hover != m_control) Open(hover, m_mouse);
            }
            break;
        case WM_MOUSEMOVE: {
            m_mouse = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            // Compared, never followed: the control may have been deleted since.
            if (m_control != nullptr && m_manager->ControlAtPoint(m_mouse.x, m_mouse.y) != m_control) Close();
            break;
        }
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
    m_manager->InvalidateArea(m_box);
}

void CUITooltip::Close() {
    if (m_control == nullptr) return;
    m_control = nullptr;
    m_text.Clear();
    m_manager->InvalidateArea(m_box);
    m_box = RECT{};
}

}  // namespace SkinUI
