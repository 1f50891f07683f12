#include "ui/controls/ListHeaderItemUI.h"

#include "ui/controls/ListInterfaces.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Room above and below the default font in an item without a height of its own.
constexpr int kItemTextRoom = 14;

}  // namespace

CListHeaderItemUI::CListHeaderItemUI() {
    SetWidthFloor(kMinimumWidth);
}

const wchar_t* CListHeaderItemUI::GetClassTag() const {
    return L"ListHeaderItemUI";
}

void* CListHeaderItemUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListHeaderItem") return this;
    return CControlUI::QueryFacet(name);
}

UINT CListHeaderItemUI::GetBehaviourFlags() const {
    return IsUsable() && m_separatorWidth != 0 ? kBehaviourWantsSetCursor : 0;
}

void CListHeaderItemUI::SetUsable(bool usable) {
    CControlUI::SetUsable(usable);
    if (!IsUsable()) m_state = 0;
}

RECT CListHeaderItemUI::SeparatorRect() const {
    RECT strip = m_bounds;
    if (m_separatorWidth >= 0) {
        strip.left = m_bounds.right - m_separatorWidth;
    } else {
        strip.right = m_bounds.left - m_separatorWidth;
    }
    return strip;
}

RECT CListHeaderItemUI::GrabZone() const {
    RECT zone = SeparatorRect();
    if (m_separatorWidth >= 0) {
        zone.left -= kGrabMargin;
    } else {
        zone.right += kGrabMargin;
    }
    return zone;
}

void CListHeaderItemUI::SetTextInset(const RECT& padding) {
    m_textPadding = ClampGeometry(padding);
    Repaint();
}

void CListHeaderItemUI::RelayoutList() {
    if (m_parent != nullptr) m_parent->RequestParentRelayout();
}

void CListHeaderItemUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CControlUI::HandleEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::SetFocus:
        case UIEventType::KillFocus:
            Repaint();
            break;
        case UIEventType::ButtonDown:
        case UIEventType::DoubleClick:
            if (!IsUsable()) break;
            if (RectContains(GrabZone(), event.mouse)) {
                if (m_dragable) {
                    m_state |= kStateDragging;
                    m_lastMouse = event.mouse;
                }
            } else {
                m_state |= kStatePushed;
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"headerclick");
                Repaint();
            }
            return;
        case UIEventType::ButtonUp:
            if ((m_state & kStateDragging) != 0) {
                m_state &= ~kStateDragging;
                RelayoutList();
            } else if ((m_state & kStatePushed) != 0) {
                m_state &= ~kStatePushed;
                Repaint();
            }
            return;
        case UIEventType::MouseMove:
            if ((m_state & kStateDragging) != 0) {
                RECT resized = m_bounds;
                const int moved = event.mouse.x - m_lastMouse.x;
                if (m_separatorWidth >= 0) {
                    resized.right += moved;
                } else {
                    resized.left += moved;
                }
                const int width = resized.right - resized.left;
                if (width > GetWidthFloor()) {
                    m_lastMouse = event.mouse;
                    SetPresetWidth(width);
                    RelayoutList();
                }
            }
            return;
        case UIEventType::SetCursor:
            if (IsUsable() && m_dragable && RectContains(GrabZone(), event.mouse)) {
                if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::SizeWE);
                return;
            }
            break;
        case UIEventType::MouseEnter:
            if (IsUsable()) {
                m_state |= kStateHot;
                Repaint();
            }
            return;
        case UIEventType::MouseLeave:
            if (IsUsable()) {
                m_state &= ~kStateHot;
                Repaint();
            }
            return;
        default:
            break;
    }
    CControlUI::HandleEvent(event);
}

void CListHeaderItemUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    DWORD color = 0;
    RECT rect{};
    const auto setImage = [&](CUIString& field) {
        field = CUIString(value);
        Repaint();
    };
    if (name == L"dragable") {
        m_dragable = ParseBool(value);
        if (!m_dragable) m_state &= ~kStateDragging;
    } else if (name == L"sepwidth") {
        if (ParseInt(value, &number)) m_separatorWidth = ClampGeometry(number);
    } else if (name == L"align") {
        m_textStyle = AlignTextStyle(m_textStyle, value);
    } else if (name == L"endellipsis") {
        m_textStyle = ParseBool(value) ? (m_textStyle | DT_END_ELLIPSIS) : (m_textStyle & ~DT_END_ELLIPSIS);
    } else if (name == L"font") {
        if (ParseInt(value, &number)) m_font = number;
    } else if (name == L"textcolor") {
        if (ParseColor(value, &color)) m_textColor = color;
    } else if (name == L"textpadding") {
        if (ParseRect(value, &rect)) SetTextInset(rect);
    } else if (name == L"showhtml") {
        const bool show = ParseBool(value);
        if (show == m_showHtml) return;
        m_showHtml = show;
        Repaint();
    } else if (name == L"normalimage") {
        setImage(m_normalImage);
    } else if (name == L"hotimage") {
        setImage(m_hotImage);
    } else if (name == L"pushedimage") {
        setImage(m_pushedImage);
    } else if (name == L"focusedimage") {
        setImage(m_focusedImage);
    } else if (name == L"sepimage") {
        setImage(m_separatorImage);
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

SIZE CListHeaderItemUI::MeasureDesired(SIZE /*available*/) {
    if (GetPresetHeight() != 0) return SIZE{GetPresetWidth(), GetPresetHeight()};
    const int fontHeight = m_manager != nullptr ? m_manager->DefaultFontHeight() : 0;
    return SIZE{GetPresetWidth(), fontHeight + kItemTextRoom};
}

void CListHeaderItemUI::RenderStateImage(HDC hdc) {
    if (HasFocus()) {
        m_state |= kStateFocused;
    } else {
        m_state &= ~kStateFocused;
    }
    CUIString* chosen = nullptr;
    if ((m_state & kStatePushed) != 0) {
        chosen = &m_pushedImage;
    } else if ((m_state & kStateHot) != 0) {
        chosen = &m_hotImage;
    } else if ((m_state & kStateFocused) != 0) {
        chosen = &m_focusedImage;
    }
    if (chosen != nullptr && !chosen->IsEmpty()) {
        DrawSkinImageOrForget(hdc, *chosen);
    } else {
        DrawSkinImageOrForget(hdc, m_normalImage);
    }
    if (!m_separatorImage.IsEmpty()) {
        const RECT strip = SeparatorRect();
        m_separatorModifier.FormatShort(L"dest='%d,%d,%d,%d'", strip.left - m_bounds.left, strip.top - m_bounds.top,
                                        strip.right - m_bounds.left, strip.bottom - m_bounds.top);
        DrawSkinImageOrForget(hdc, m_separatorImage, m_separatorModifier.Data());
    }
}

void CListHeaderItemUI::RenderCaption(HDC hdc) {
    if (m_manager == nullptr) return;
    // Once resolved, the colour stays: a later change of the window's default does not reach it.
    if (m_textColor == 0) m_textColor = m_manager->DefaultTextColor();
    RECT area{m_bounds.left + m_textPadding.left, m_bounds.top + m_textPadding.top,
              m_bounds.right - m_textPadding.right, m_bounds.bottom - m_textPadding.bottom};
    if (m_text.IsEmpty()) return;
    const UINT format = m_textStyle | DT_SINGLELINE;
    CUIRenderEngine::DrawPlainOrMarkedText(hdc, m_manager, area, m_text.View(), m_textColor, m_font, format,
                                           m_showHtml);
}

}  // namespace SkinUI
