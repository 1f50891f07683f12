#include "ui/basic/ButtonUI.h"

#include "platform/window/WinMessages.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

const wchar_t* CButtonUI::GetClassTag() const {
    return L"ButtonUI";
}

void* CButtonUI::QueryFacet(std::wstring_view name) {
    if (name == L"Button") return this;
    return CLabelUI::QueryFacet(name);
}

UINT CButtonUI::GetBehaviourFlags() const {
    return IsUsable() ? (kBehaviourFocusStop | kBehaviourWantsSetCursor | kBehaviourHandlesMouse) : 0;
}

bool CButtonUI::Contains(POINT pt) const {
    return pt.x >= m_bounds.left && pt.x < m_bounds.right && pt.y >= m_bounds.top && pt.y < m_bounds.bottom;
}

void CButtonUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !m_acceptsMouse) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    switch (event.type) {
        case UIEventType::KeyDown:
            if ((event.key == VK_SPACE || event.key == VK_RETURN) && IsUsable()) {
                Trigger();
                return;
            }
            break;
        case UIEventType::ButtonDown:
        case UIEventType::DoubleClick:
            if (Contains(event.mouse) && IsUsable()) {
                // A pressed button takes the focus, as a focused edit's caret must not stay behind.
                if (!m_focused && (GetBehaviourFlags() & kBehaviourFocusStop) != 0) TakeFocus();
                m_buttonState |= kButtonPushed | kButtonCaptured;
                Repaint();
            }
            return;
        case UIEventType::MouseMove:
            if ((m_buttonState & kButtonCaptured) != 0) {
                const UINT pushed = Contains(event.mouse) ? kButtonPushed : 0;
                if ((m_buttonState & kButtonPushed) != pushed) {
                    m_buttonState = (m_buttonState & ~kButtonPushed) | pushed;
                    Repaint();
                }
            }
            return;
        case UIEventType::ButtonUp:
            if ((m_buttonState & kButtonCaptured) != 0) {
                m_buttonState &= ~(kButtonPushed | kButtonCaptured);
                Repaint();
                if (Contains(event.mouse)) Trigger();
            }
            return;
        case UIEventType::CaptureLost:
            if ((m_buttonState & (kButtonPushed | kButtonCaptured)) != 0) {
                m_buttonState &= ~(kButtonPushed | kButtonCaptured);
                Repaint();
            }
            return;
        case UIEventType::MouseEnter:
            if (IsUsable()) {
                m_buttonState |= kButtonHot;
                Repaint();
            }
            return;
        case UIEventType::MouseLeave:
            m_buttonState &= ~kButtonHot;
            Repaint();
            return;
        case UIEventType::SetCursor:
            if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::Hand);
            return;
        default:
            break;
    }
    CLabelUI::HandleEvent(event);
}

bool CButtonUI::Trigger() {
    if (!CLabelUI::Trigger()) return false;
    if (m_manager != nullptr) m_manager->RaiseNotify(this, L"click");
    return true;
}

void CButtonUI::SetUsable(bool usable) {
    // A disabled button keeps no hover or press left over from before.
    if (!usable) m_buttonState = 0;
    CLabelUI::SetUsable(usable);
}

void CButtonUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    if (name == L"normalimage") {
        m_normalImage = CUIString(value);
    } else if (name == L"hotimage") {
        m_hotImage = CUIString(value);
    } else if (name == L"pushedimage") {
        m_pushedImage = CUIString(value);
    } else if (name == L"focusedimage") {
        m_focusedImage = CUIString(value);
    } else if (name == L"disabledimage") {
        m_disabledImage = CUIString(value);
    } else if (name == L"hottextcolor") {
        if (ParseColor(value, &color)) m_hotTextColor = color;
    } else if (name == L"pushedtextcolor") {
        if (ParseColor(value, &color)) m_pushedTextColor = color;
    } else if (name == L"focusedtextcolor") {
        if (ParseColor(value, &color)) m_focusedTextColor = color;
    } else {
        CLabelUI::ApplyAttribute(name, value);
        return;
    }
    Repaint();
}

const CUIString& CButtonUI::CurrentStateImage() const {
    if (!IsUsable() && !m_disabledImage.IsEmpty()) return m_disabledImage;
    if ((m_buttonState & kButtonPushed) != 0 && !m_pushedImage.IsEmpty()) return m_pushedImage;
    if ((m_buttonState & kButtonHot) != 0 && !m_hotImage.IsEmpty()) return m_hotImage;
    if (m_focused && !m_focusedImage.IsEmpty()) return m_focusedImage;
    return m_normalImage;
}

void CButtonUI::RenderStateImage(HDC hdc) {
    const CUIString& image = CurrentStateImage();
    if (!image.IsEmpty()) DrawSkinImage(hdc, image);
}

DWORD CButtonUI::CurrentTextColor() const {
    if (IsUsable()) {
        if ((m_buttonState & kButtonPushed) != 0 && m_pushedTextColor != 0) return m_pushedTextColor;
        if ((m_buttonState & kButtonHot) != 0 && m_hotTextColor != 0) return m_hotTextColor;
        if (m_focused && m_focusedTextColor != 0) return m_focusedTextColor;
    }
    return CLabelUI::CurrentTextColor();
}

}  // namespace SkinUI
