#include "ui/controls/ListContainerElementUI.h"

#include "platform/window/WinMessages.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"

namespace SkinUI {

const wchar_t* CListContainerElementUI::GetClassTag() const {
    return L"ListContainerElementUI";
}

void* CListContainerElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListContainerElement") return this;
    return CListRowUI::QueryFacet(name);
}

void CListContainerElementUI::SetBounds(const RECT& bounds) {
    CControlUI::SetBounds(bounds);
    if (m_owner == nullptr) return;
    const UIListStyle& style = *m_owner->GetListStyle();
    const int count = m_items.Count();
    if (count != style.columnCount) {
        CContainerUI::SetBounds(bounds);
        return;
    }
    const RECT inset = GetContentInset();
    for (int i = 0; i < count; ++i) {
        RECT cell{style.columns[i].left, m_bounds.top + inset.top, style.columns[i].right,
                  m_bounds.bottom - inset.bottom};
        if (i == 0) cell.left += inset.left;
        if (i == count - 1) cell.right -= inset.right;
        OwnChildAt(i)->SetBounds(cell);
    }
}

void CListContainerElementUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_owner != nullptr) {
            m_owner->HandleItemEvent(event);
        } else {
            CContainerUI::HandleEvent(event);
        }
        return;
    }
    const bool usable = IsUsable();
    switch (event.type) {
        case UIEventType::KeyDown:
            if (usable && event.key == VK_RETURN) {
                Trigger();
                Repaint();
                return;
            }
            break;
        case UIEventType::ButtonDown:
        case UIEventType::RightButtonDown:
            if (usable) {
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemclick");
                Select(true);
                Repaint();
                return;
            }
            break;
        case UIEventType::DoubleClick:
            if (usable) {
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemdbclick");
                Select(true);
                Repaint();
                return;
            }
            break;
        case UIEventType::ButtonUp:
        case UIEventType::MouseMove:
            return;
        case UIEventType::MouseEnter:
            if (usable && m_manager != nullptr && !m_manager->IsCaptured()) {
                m_manager->RaiseNotify(this, L"itemhover");
                m_state |= kStateHot;
                Repaint();
                return;
            }
            break;
        case UIEventType::MouseLeave:
            if ((m_state & kStateHot) != 0) {
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemleave");
                m_state &= ~kStateHot;
                Repaint();
                return;
            }
            break;
        default:
            break;
    }
    if (m_owner != nullptr) {
        m_owner->HandleItemEvent(event);
    } else {
        CControlUI::HandleEvent(event);
    }
}

SIZE CListContainerElementUI::MeasureDesired(SIZE available) {
    return CControlUI::MeasureDesired(available);
}

bool CListContainerElementUI::Render(HDC hdc, const RECT& paintRect) {
    if (!IntersectRects(&m_paintRect, paintRect, m_bounds)) return false;
    DrawItemText(hdc, m_bounds);
    if (m_owner != nullptr) {
        CUIRenderClip clip;
        clip.ClipToRect(hdc, m_paintRect);
        DrawRowBackground(hdc);
    }
    return CContainerUI::Render(hdc, paintRect);
}

}  // namespace SkinUI
