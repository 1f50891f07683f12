#include "ui/basic/TextUI.h"

#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

CTextUI::CTextUI() {
    m_showMarkup = true;
}

const wchar_t* CTextUI::GetClassTag() const {
    return L"TextUI";
}

void* CTextUI::QueryFacet(std::wstring_view name) {
    if (name == L"Text") return this;
    return CLabelUI::QueryFacet(name);
}

UINT CTextUI::GetBehaviourFlags() const {
    return m_linkCount > 0 ? (kBehaviourWantsSetCursor | kBehaviourHandlesMouse) : 0;
}

void CTextUI::SetCaption(const CUIString& text) {
    if (text == m_text) return;
    // The old rectangles belong to the old text.
    m_linkCount = 0;
    m_pressedLink = -1;
    CLabelUI::SetCaption(text);
}

int CTextUI::LinkAt(POINT pt) const {
    for (int i = 0; i < m_linkCount; ++i) {
        const RECT& r = m_linkRects[i];
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) return i;
    }
    return -1;
}

void CTextUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && (!m_acceptsMouse || !IsUsable())) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    switch (event.type) {
        case UIEventType::SetCursor:
            if (m_manager != nullptr)
                m_manager->SetCursorShape(LinkAt(event.mouse) >= 0 ? UICursor::Hand : UICursor::Arrow);
            return;
        case UIEventType::ButtonDown:
        case UIEventType::DoubleClick:
            m_pressedLink = LinkAt(event.mouse);
            if (m_pressedLink < 0) break;
            return;
        case UIEventType::ButtonUp: {
            const int pressed = m_pressedLink;
            m_pressedLink = -1;
            if (pressed < 0) break;
            if (LinkAt(event.mouse) == pressed && Trigger() && m_manager != nullptr) {
                // A copy: the receiver may change the caption, which rebuilds the links.
                CUIString link = m_linkTexts[pressed];
                m_manager->RaiseNotify(this, L"link", reinterpret_cast<WPARAM>(&link));
            }
            return;
        }
        default:
            break;
    }
    CLabelUI::HandleEvent(event);
}

void CTextUI::RenderCaption(HDC hdc) {
    if (m_manager == nullptr) return;
    RECT area = TextArea();
    m_linkCount = kMaxLinks;
    if (m_text.IsEmpty() ||
        !CUIRenderEngine::DrawMarkedText(hdc, m_manager, area, m_text.View(), AdjustedColor(CurrentTextColor()),
                                         m_linkRects, m_linkTexts, m_linkCount, m_textStyle)) {
        m_linkCount = 0;
    }
}

}  // namespace SkinUI
