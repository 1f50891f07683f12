#include "ui/controls/ListElementUI.h"

#include "platform/window/WinMessages.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Room above and below one line of text in a row without a height of its own.
constexpr int kRowTextRoom = 8;
// Wide enough for any one line a row shows.
constexpr int kMeasureWidth = 9999;

}  // namespace

// --- shared by every row ---

IListOwnerUI* CListElementUI::OwnerFacetOf(CControlUI* owner) {
    return owner != nullptr ? static_cast<IListOwnerUI*>(owner->QueryFacet(L"IListOwner")) : nullptr;
}

bool CListElementUI::SelectRow(CControlUI& row, bool select, bool& selected, IListOwnerUI* owner, int index) {
    // Deselecting always succeeds: a disabled row must not stay marked once the owner moved on.
    if (select && !row.IsUsable()) return false;
    if (selected == select) return true;
    selected = select;
    row.Repaint();
    if (select && owner != nullptr && !owner->SelectItem(index, false)) {
        selected = false;
        row.Repaint();
        return false;
    }
    return true;
}

void CListElementUI::DropSelectionIfHidden(CControlUI& row, bool& selected, IListOwnerUI* owner) {
    if (row.IsShown() || !selected) return;
    selected = false;
    if (owner != nullptr) owner->SelectItem(-1, false);
}

bool CListElementUI::ActivateRow(CControlUI& row) {
    if (CUIPaintManager* manager = row.GetOwnerManager()) manager->RaiseNotify(&row, L"itemactivate");
    return true;
}

void CListElementUI::RepaintClipped(CControlUI& row) {
    if (!row.IsShown()) return;
    CControlUI* parent = row.GetParentControl();
    auto* container = parent != nullptr ? static_cast<CContainerUI*>(parent->QueryFacet(L"Container")) : nullptr;
    if (container == nullptr) {
        row.CControlUI::Repaint();
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
    if (!IntersectRects(&area, client, row.GetBounds())) return;
    for (const CControlUI* up = parent->GetParentControl(); up != nullptr; up = up->GetParentControl()) {
        if (!IntersectRects(&area, area, up->GetBounds())) return;
    }
    if (CUIPaintManager* manager = row.GetOwnerManager()) manager->InvalidateArea(area);
}

DWORD CListElementUI::RowTextColor(const CControlUI& row, const UIListStyle& style, bool selected, bool hot) {
    DWORD color = style.textColor;
    if (hot) color = style.hotTextColor;
    if (selected) color = style.selectedTextColor;
    if (!row.IsUsable()) color = style.disabledTextColor;
    return color;
}

void CListElementUI::DrawRowBackground(CControlUI& row, HDC hdc, IListOwnerUI& owner, int index, bool selected,
                                       bool hot, CUIString& backImage) {
    UIListStyle& style = *owner.GetListStyle();
    const bool usable = row.IsUsable();
    const bool plainRow = !style.alternateBack || index % 2 == 0;
    DWORD color = plainRow ? style.backColor : 0;
    if (hot) color = style.hotBackColor;
    if (selected) color = style.selectedBackColor;
    if (!usable) color = style.disabledBackColor;
    if (color != 0) CUIRenderEngine::FillColor(hdc, row.GetBounds(), row.AdjustedColor(color));

    if (!usable && row.DrawSkinImageOrForget(hdc, style.disabledImage)) return;
    if (selected && row.DrawSkinImageOrForget(hdc, style.selectedImage)) return;
    if (hot && row.DrawSkinImageOrForget(hdc, style.hotImage)) return;
    if (!backImage.IsEmpty()) {
        if (plainRow) row.DrawSkinImageOrForget(hdc, backImage);
    } else if (row.DrawSkinImageOrForget(hdc, style.backImage)) {
        return;
    }
    if (style.lineColor != 0) {
        const RECT& b = row.GetBounds();
        CUIRenderEngine::StrokeLine(hdc, RECT{b.left, b.bottom - 1, b.right, b.bottom - 1}, 1,
                                    row.AdjustedColor(style.lineColor), PS_SOLID);
    }
}

// --- CListElementUI ---

void* CListElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListItem") return static_cast<IListItemUI*>(this);
    if (name == L"ListElement") return this;
    return CControlUI::QueryFacet(name);
}

UINT CListElementUI::GetBehaviourFlags() const {
    return kBehaviourFocusOnPress;
}

bool CListElementUI::Trigger() {
    if (!CControlUI::Trigger()) return false;
    return ActivateRow(*this);
}

void CListElementUI::Show(bool show) {
    CControlUI::Show(show);
    DropSelectionIfHidden(*this, m_selected, m_owner);
}

void CListElementUI::SetUsable(bool usable) {
    CControlUI::SetUsable(usable);
    if (!IsUsable()) m_state = 0;
}

void CListElementUI::Repaint() {
    RepaintClipped(*this);
}

void CListElementUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selected") {
        Select(true);
    } else {
        CControlUI::ApplyAttribute(name, value);
    }
}

void CListElementUI::SetOwner(CControlUI* owner) {
    m_owner = OwnerFacetOf(owner);
}

bool CListElementUI::Select(bool select) {
    return SelectRow(*this, select, m_selected, m_owner, m_index);
}

void CListElementUI::DrawItemBackground(HDC hdc) {
    if (m_owner == nullptr) return;
    DrawRowBackground(*this, hdc, *m_owner, m_index, m_selected, (m_state & kStateHot) != 0, m_backImage);
}

bool CListElementUI::Render(HDC hdc, const RECT& paintRect) {
    if (!IntersectRects(&m_paintRect, paintRect, m_bounds)) return false;
    CUIRenderClip clip;
    clip.ClipToRect(hdc, m_paintRect);
    DrawItemBackground(hdc);
    DrawItemText(hdc, m_bounds);
    return true;
}

void CListElementUI::HandleSharedEvent(UIEventRecord& event) {
    const bool mouseIgnored = IsMouseEvent(event.type) && !AcceptsMouse();
    if (!mouseIgnored) {
        if (event.type == UIEventType::DoubleClick) {
            if (IsUsable()) {
                Trigger();
                Repaint();
            }
            return;
        }
        if (event.type == UIEventType::KeyDown && event.key == VK_RETURN && IsUsable()) {
            Trigger();
            Repaint();
            return;
        }
    }
    if (m_owner != nullptr) {
        m_owner->HandleItemEvent(event);
    } else {
        CControlUI::HandleEvent(event);
    }
}

// --- CListLabelElementUI ---

const wchar_t* CListLabelElementUI::GetClassTag() const {
    return L"ListLabelElementUI";
}

void* CListLabelElementUI::QueryFacet(std::wstring_view name) {
    if (name == L"ListLabelElement") return this;
    return CListElementUI::QueryFacet(name);
}

void CListLabelElementUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_owner != nullptr) {
            m_owner->HandleItemEvent(event);
        } else {
            HandleSharedEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::ButtonDown:
        case UIEventType::RightButtonDown:
            if (IsUsable()) {
                if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemclick");
                Select(true);
                Repaint();
            }
            return;
        case UIEventType::MouseMove:
        case UIEventType::ButtonUp:
            return;
        case UIEventType::MouseEnter:
            if (IsUsable()) {
                m_state |= kStateHot;
                Repaint();
            }
            return;
        case UIEventType::MouseLeave:
            if ((m_state & kStateHot) != 0) {
                m_state &= ~kStateHot;
                Repaint();
            }
            return;
        default:
            break;
    }
    HandleSharedEvent(event);
}

SIZE CListLabelElementUI::MeasureDesired(SIZE /*available*/) {
    if (m_owner == nullptr) return SIZE{0, 0};
    const UIListStyle& style = *m_owner->GetListStyle();
    SIZE size{GetPresetWidth(), GetPresetHeight()};
    if (m_manager == nullptr) return size;
    const RECT& padding = style.textPadding;
    if (size.cy == 0) {
        const UIFontRecord* font = m_manager->FontRecordAt(style.font);
        size.cy = ClampGeometry(static_cast<long long>(font != nullptr ? font->tm.tmHeight : 0) + kRowTextRoom +
                                padding.top + padding.bottom);
    }
    if (size.cx == 0) {
        RECT area{0, 0, kMeasureWidth, m_bounds.bottom - m_bounds.top};
        const UINT format = (style.textStyle & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT | DT_SINGLELINE;
        CUIRenderEngine::DrawPlainOrMarkedText(m_manager->MeasureDC(), m_manager, area, m_text.View(), 0, style.font,
                                               format, style.showHtml);
        size.cx = ClampGeometry(static_cast<long long>(area.right) - area.left + padding.left + padding.right);
    }
    return size;
}

void CListLabelElementUI::DrawItemText(HDC hdc, const RECT& rect) {
    if (m_text.IsEmpty() || m_owner == nullptr) return;
    const UIListStyle& style = *m_owner->GetListStyle();
    const DWORD color = RowTextColor(*this, style, m_selected, (m_state & kStateHot) != 0);
    RECT area{rect.left + style.textPadding.left, rect.top + style.textPadding.top,
              rect.right - style.textPadding.right, rect.bottom - style.textPadding.bottom};
    CUIRenderEngine::DrawPlainOrMarkedText(hdc, m_manager, area, m_text.View(), color, style.font,
                                           style.textStyle | DT_SINGLELINE, style.showHtml);
}

}  // namespace SkinUI
