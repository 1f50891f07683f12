#include "ui/controls/ListRowUI.h"

#include "ui/basic/ScrollBarUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

template <class Base>
void* CListRowUI<Base>::QueryFacet(std::wstring_view name) {
    if (name == L"ListItem") return static_cast<IListItemUI*>(this);
    return Base::QueryFacet(name);
}

template <class Base>
UINT CListRowUI<Base>::GetBehaviourFlags() const {
    return kBehaviourFocusOnPress;
}

template <class Base>
bool CListRowUI<Base>::Trigger() {
    if (!Base::Trigger()) return false;
    if (CUIPaintManager* manager = this->GetOwnerManager()) manager->RaiseNotify(this, L"itemactivate");
    return true;
}

template <class Base>
void CListRowUI<Base>::Show(bool show) {
    Base::Show(show);
    if (this->IsShown() || !m_selected) return;
    m_selected = false;
    if (m_owner != nullptr) m_owner->SelectItem(-1, false);
}

template <class Base>
void CListRowUI<Base>::SetUsable(bool usable) {
    Base::SetUsable(usable);
    if (!this->IsUsable()) m_state = 0;
}

template <class Base>
void CListRowUI<Base>::Repaint() {
    if (!this->IsShown()) return;
    CControlUI* parent = this->GetParentControl();
    auto* container = parent != nullptr ? static_cast<CContainerUI*>(parent->QueryFacet(L"Container")) : nullptr;
    if (container == nullptr) {
        CControlUI::Repaint();
        return;
    }
    const RECT inset = container->GetContentInset();
    RECT client = parent->GetBounds();
    client.left += inset.left;
    client.top += inset.top;
    client.right -= inset.right;
    client.bottom -= inset.bottom;
    if (const CScrollBarUI* bar = container->GetVScrollBar(); bar != nullptr && bar->IsShown()) {
        client.right -= bar->GetBounds().right - bar->GetBounds().left;
    }
    if (const CScrollBarUI* bar = container->GetHScrollBar(); bar != nullptr && bar->IsShown()) {
        client.bottom -= bar->GetBounds().bottom - bar->GetBounds().top;
    }
    RECT area;
    if (!IntersectRects(&area, client, this->GetBounds())) return;
    for (const CControlUI* up = parent->GetParentControl(); up != nullptr; up = up->GetParentControl()) {
        if (!IntersectRects(&area, area, up->GetBounds())) return;
    }
    if (CUIPaintManager* manager = this->GetOwnerManager()) manager->InvalidateArea(area);
}

template <class Base>
void CListRowUI<Base>::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selected") {
        Select(true);
    } else {
        Base::ApplyAttribute(name, value);
    }
}

template <class Base>
void CListRowUI<Base>::SetOwner(CControlUI* owner) {
    m_owner = owner != nullptr ? static_cast<IListOwnerUI*>(owner->QueryFacet(L"IListOwner")) : nullptr;
}

template <class Base>
bool CListRowUI<Base>::Select(bool select) {
    // Deselecting always succeeds: a disabled row must not stay marked once the owner moved on.
    if (select && !this->IsUsable()) return false;
    if (m_selected == select) return true;
    m_selected = select;
    Repaint();
    if (select && m_owner != nullptr && !m_owner->SelectItem(m_index, false)) {
        m_selected = false;
        Repaint();
        return false;
    }
    return true;
}

template <class Base>
DWORD CListRowUI<Base>::RowTextColor(const UIListStyle& style) const {
    DWORD color = style.textColor;
    if ((m_state & kStateHot) != 0) color = style.hotTextColor;
    if (m_selected) color = style.selectedTextColor;
    if (!this->IsUsable()) color = style.disabledTextColor;
    return color;
}

template <class Base>
void CListRowUI<Base>::DrawRowBackground(HDC hdc) {
    if (m_owner == nullptr) return;
    UIListStyle& style = *m_owner->GetListStyle();
    const bool usable = this->IsUsable();
    const bool hot = (m_state & kStateHot) != 0;
    const bool plainRow = !style.alternateBack || m_index % 2 == 0;
    DWORD color = plainRow ? style.backColor : 0;
    if (hot) color = style.hotBackColor;
    if (m_selected) color = style.selectedBackColor;
    if (!usable) color = style.disabledBackColor;
    const RECT& bounds = this->GetBounds();
    if (color != 0) CUIRenderEngine::FillColor(hdc, bounds, this->AdjustedColor(color));

    if (!usable && this->DrawSkinImageOrForget(hdc, style.disabledImage)) return;
    if (m_selected && this->DrawSkinImageOrForget(hdc, style.selectedImage)) return;
    if (hot && this->DrawSkinImageOrForget(hdc, style.hotImage)) return;
    if (!this->m_backImage.IsEmpty()) {
        if (plainRow) this->DrawSkinImageOrForget(hdc, this->m_backImage);
    } else if (this->DrawSkinImageOrForget(hdc, style.backImage)) {
        return;
    }
    if (style.lineColor != 0) {
        CUIRenderEngine::StrokeLine(hdc, RECT{bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom - 1}, 1,
                                    this->AdjustedColor(style.lineColor), PS_SOLID);
    }
}

template class CListRowUI<CControlUI>;
template class CListRowUI<CContainerUI>;

}  // namespace SkinUI
