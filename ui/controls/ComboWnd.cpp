#include "ui/controls/ComboWnd.h"

#include <algorithm>
#include <cwchar>

#include "platform/sync/Clock.h"
#include "platform/window/MessageApi.h"
#include "platform/window/Screen.h"
#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ComboUI.h"
#include "ui/core/VerticalLayoutUI.h"

namespace SkinUI {

namespace {

// The layout's border and inset: what the pop-up adds to its items' height.
constexpr int kFrameHeight = 4;
constexpr DWORD kBackColor = 0xFFFFFFFF;
constexpr DWORD kBorderColor = 0xFFC6C7D2;

RECT ToScreen(HWND window, RECT rect) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

bool CComboWnd::Init(CComboUI* combo) {
    m_combo = combo;
    m_layout = nullptr;
    m_closing = false;
    m_oldSelection = combo->GetSelectedIndex();
    CUIPaintManager* manager = combo->GetOwnerManager();
    const HWND paintWindow = manager != nullptr ? manager->GetPaintWindow() : nullptr;
    if (paintWindow == nullptr) return false;

    const RECT bounds = combo->GetBounds();
    const SIZE dropBox = combo->GetDropBoxSize();
    RECT rect{bounds.left, bounds.bottom, bounds.right, bounds.bottom + dropBox.cy};
    if (dropBox.cx > 0) rect.right = rect.left + dropBox.cx;
    const SIZE available{rect.right - rect.left, rect.bottom - rect.top};
    long long content = kFrameHeight;
    for (int i = 0; i < combo->CContainerUI::ChildCount(); ++i) {
        CControlUI* item = combo->CContainerUI::GetChildAt(i);
        if (item->IsShown()) content += item->MeasureDesired(available).cy;
    }
    const int height = static_cast<int>(std::min<long long>(content, dropBox.cy));
    rect.bottom = rect.top + height;
    rect = ToScreen(paintWindow, rect);

    // Departs from the original behaviour (the primary monitor's): the work area is that of the combo's monitor.
    // Too low for the work area: above the combo instead.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(paintWindow, MONITOR_DEFAULTTOPRIMARY), &monitor) &&
        rect.bottom > monitor.rcWork.bottom) {
        RECT above{bounds.left, bounds.top - height, bounds.right, bounds.top};
        if (dropBox.cx > 0) above.right = above.left + dropBox.cx;
        rect = ToScreen(paintWindow, above);
    }

    if (CreateHwndInRect(paintWindow, WS_POPUP, WS_EX_TOOLWINDOW, rect) == nullptr) return false;
    HWND topLevel = m_hwnd;
    while (HWND up = GetParent(topLevel))
        topLevel = up;
    ShowWindow(m_hwnd, SW_SHOW);
    // The combo's window keeps its active look while the pop-up has the focus.
    SendMessageW(topLevel, WM_NCACTIVATE, TRUE, 0);
    return true;
}

void CComboWnd::CreateLayout() {
    m_pm.Bind(m_hwnd);
    m_layout = new CVerticalLayoutUI();
    CUIPaintManager* comboManager = m_combo->GetOwnerManager();
    // Fonts, images and "Default" lists come from the combo's window.
    if (comboManager != nullptr) m_pm.SetResourceParent(comboManager);
    m_layout->AttachManager(&m_pm, nullptr, true);
    if (comboManager != nullptr) {
        if (const CUIString* defaults = comboManager->DefaultAttributesFor(L"VerticalLayout")) {
            m_layout->ApplyAttributeText(defaults->View());
        }
    }
    m_layout->SetContentInset(RECT{1, 1, 1, 1});
    m_layout->SetBackColor(kBackColor);
    m_layout->SetBorderColor(kBorderColor);
    m_layout->SetBorderSize(1);
    m_layout->SetOwnsChildren(false);
    m_layout->ConfigureScrollBars(true, false);
    m_layout->ApplyAttributeText(m_combo->GetDropBoxAttributes().View());
    for (int i = 0; i < m_combo->CContainerUI::ChildCount(); ++i)
        m_layout->AppendChild(m_combo->CContainerUI::GetChildAt(i));
    m_pm.AttachRoot(m_layout);
}

void CComboWnd::GiveItemsBack(bool relayout) {
    if (m_combo == nullptr) return;
    // The layout does not own them: emptying it only unlinks them and forgets them here.
    if (m_layout != nullptr) m_layout->RemoveAllChildren();
    m_combo->AttachManager(m_combo->GetOwnerManager(), m_combo->GetParentControl(), false);
    if (relayout) m_combo->SetBounds(m_combo->GetBounds());
}

void CComboWnd::ItemAdded(CControlUI* item, int index) {
    if (m_layout != nullptr) m_layout->InsertChildAt(item, index);
}

void CComboWnd::ItemRemoved(CControlUI* item) {
    if (m_combo == nullptr) return;
    if (m_layout != nullptr) m_layout->RemoveChild(item);
    item->AttachManager(m_combo->GetOwnerManager(), m_combo, false);
}

void CComboWnd::ItemMoved(CControlUI* item, int index) {
    if (m_layout != nullptr) m_layout->MoveChildTo(item, index);
}

void CComboWnd::Abandon() {
    GiveItemsBack(false);
    m_combo = nullptr;
    if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
}

void CComboWnd::EnsureItemVisible(int index) {
    if (m_combo == nullptr || m_layout == nullptr || m_combo->GetSelectedIndex() < 0) return;
    CControlUI* item = m_layout->GetChildAt(index);
    if (item == nullptr) return;
    m_pm.UpdateLayout();
    const RECT place = item->GetBounds();
    RECT visible = m_layout->GetBounds();
    if (const CScrollBarUI* bar = m_layout->GetHScrollBar(); bar != nullptr && bar->IsShown()) {
        visible.bottom -= bar->GetPresetHeight();
    }
    if (place.top >= visible.top && place.bottom < visible.bottom) return;
    int delta = 0;
    if (place.top < visible.top) delta = place.top - visible.top;
    if (place.bottom > visible.bottom) delta = place.bottom - visible.bottom;
    ScrollBy(delta);
}

void CComboWnd::ScrollBy(int delta) {
    if (delta == 0 || m_layout == nullptr) return;
    m_pm.UpdateLayout();
    const SIZE offset = m_layout->GetScrollOffset();
    m_layout->ScrollTo(SIZE{offset.cx, offset.cy + delta});
}

LRESULT CComboWnd::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_pm.GetPaintWindow() != nullptr && m_pm.HandleWindowMessage(message, wParam, lParam, result)) return result;
    return CWindowWnd::OnWindowMessage(message, wParam, lParam);
}

LRESULT CComboWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (m_combo == nullptr) return -1;
            CreateLayout();
            return 0;
        case WM_CLOSE:
            m_closing = true;
            GiveItemsBack();
            if (m_combo != nullptr) m_combo->TakeFocus();
            break;
        case WM_LBUTTONUP: {
            const CControlUI* control = m_pm.ControlAtPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (control != nullptr && std::wcscmp(control->GetClassTag(), L"ScrollBarUI") != 0) {
                PostMessageW(m_hwnd, WM_KILLFOCUS, 0, 0);
            }
            break;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                PostMessageW(m_hwnd, WM_KILLFOCUS, 0, 0);
                break;
            }
            if (wParam == VK_ESCAPE) {
                if (m_combo != nullptr) m_combo->SelectItem(m_oldSelection, true);
                EnsureItemVisible(m_oldSelection);
                PostMessageW(m_hwnd, WM_KILLFOCUS, 0, 0);
                break;
            }
            if (m_combo != nullptr) {
                UIEventRecord event;
                event.type = UIEventType::KeyDown;
                event.sender = m_combo;
                event.timestamp = GetTickCount();
                event.key = static_cast<WORD>(wParam);
                event.wParam = wParam;
                event.lParam = lParam;
                m_combo->HandleEvent(event);
            }
            // The key's receivers may have let the combo go.
            if (m_combo != nullptr) EnsureItemVisible(m_combo->GetSelectedIndex());
            return 0;
        case WM_MOUSEWHEEL:
            ScrollBy(static_cast<short>(HIWORD(static_cast<DWORD_PTR>(wParam))) >= 0 ? -kWheelStep : kWheelStep);
            return 0;
        case WM_KILLFOCUS:
            if (reinterpret_cast<HWND>(wParam) != m_hwnd && !m_closing) {
                SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void CComboWnd::OnLastMessage(HWND /*hwnd*/) {
    if (m_combo != nullptr) {
        CComboUI* combo = m_combo;
        m_combo = nullptr;
        combo->m_popup = nullptr;
        combo->m_buttonState &= ~CComboUI::kStatePushed;
        combo->Repaint();
    }
    m_pm.Bind(nullptr);
    delete this;
}

}  // namespace SkinUI
