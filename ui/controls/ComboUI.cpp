#include "ui/controls/ComboUI.h"

#include <algorithm>

#include "platform/window/Focus.h"
#include "platform/window/WinMessages.h"
#include "ui/controls/ComboWnd.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

// Room above and below one line of the face's text.
constexpr int kFaceTextRoom = 12;

IListItemUI* AsListItem(CControlUI* control) {
    return control != nullptr ? static_cast<IListItemUI*>(control->QueryFacet(L"ListItem")) : nullptr;
}

}  // namespace

CComboUI::CComboUI() = default;

CComboUI::~CComboUI() {
    // The items must leave the pop-up before the container frees them, and the pop-up must
    // never reach back into a dead combo.
    if (CComboWnd* popup = m_popup) {
        m_popup = nullptr;
        popup->Abandon();
    }
}

const wchar_t* CComboUI::GetClassTag() const {
    return L"ComboUI";
}

void* CComboUI::QueryFacet(std::wstring_view name) {
    if (name == L"Combo") return this;
    if (name == L"IListOwner") return static_cast<IListOwnerUI*>(this);
    return CContainerUI::QueryFacet(name);
}

UINT CComboUI::GetBehaviourFlags() const {
    return kBehaviourFocusStop | kBehaviourHandlesMouse;
}

// --- opening ---

bool CComboUI::Trigger() {
    if (!CControlUI::Trigger()) return false;
    if (m_popup != nullptr) return true;
    if (m_manager == nullptr || m_manager->GetPaintWindow() == nullptr) return false;
    SetFocus(nullptr);
    auto* popup = new CComboWnd();
    m_popup = popup;
    if (!popup->Init(this)) {
        // A window that got as far as its last message took the object with it.
        if (m_popup == popup) {
            m_popup = nullptr;
            delete popup;
        }
        return false;
    }
    if (m_manager != nullptr) m_manager->RaiseNotify(this, L"dropdown");
    Repaint();
    return true;
}

// --- geometry ---

CUIString CComboUI::GetCaption() const {
    CControlUI* item = m_selected >= 0 ? OwnChildAt(m_selected) : nullptr;
    return item != nullptr ? item->GetCaption() : CUIString();
}

void CComboUI::SetBounds(const RECT& bounds) {
    // Items lent to the open pop-up are placed there.
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* item = OwnChildAt(i);
        if (item->GetParentControl() == this) item->SetBounds(RECT{});
    }
    CControlUI::SetBounds(bounds);
}

SIZE CComboUI::MeasureDesired(SIZE /*available*/) {
    if (GetPresetHeight() != 0) return SIZE{GetPresetWidth(), GetPresetHeight()};
    const int fontHeight = m_manager != nullptr ? m_manager->DefaultFontHeight() : 0;
    return SIZE{GetPresetWidth(), ClampGeometry(static_cast<long long>(fontHeight) + kFaceTextRoom)};
}

CControlUI* CComboUI::FindControl(FindProc proc, void* data, UINT flags) {
    if ((flags & kFindHitTest) != 0) return CControlUI::FindControl(proc, data, flags);
    return CContainerUI::FindControl(proc, data, flags);
}

// --- state ---

void CComboUI::SetUsable(bool usable) {
    CControlUI::SetUsable(usable);
    if (!IsUsable()) m_buttonState = 0;
}

void CComboUI::UpdateStateBits() {
    if (HasFocus()) {
        m_buttonState |= kStateFocused;
    } else {
        m_buttonState &= ~kStateFocused;
    }
    if (!IsUsable()) {
        m_buttonState |= kStateDisabled;
    } else {
        m_buttonState &= ~kStateDisabled;
    }
}

// --- input ---

void CComboUI::HandleItemEvent(UIEventRecord& event) {
    CComboUI::HandleEvent(event);
}

void CComboUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CContainerUI::HandleEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::SetFocus:
        case UIEventType::KillFocus:
            Repaint();
            break;
        case UIEventType::ButtonDown:
            if (IsUsable()) {
                Trigger();
                m_buttonState |= kStatePushed | kStateCaptured;
            }
            return;
        case UIEventType::ButtonUp:
            if ((m_buttonState & kStateCaptured) != 0) {
                m_buttonState &= ~kStateCaptured;
                // Without a pop-up nothing else ends the pushed look.
                if (m_popup == nullptr) m_buttonState &= ~kStatePushed;
                Repaint();
            }
            return;
        case UIEventType::CaptureLost:
            m_buttonState &= ~kStateCaptured;
            if (m_popup == nullptr) m_buttonState &= ~kStatePushed;
            Repaint();
            return;
        case UIEventType::MouseMove:
        case UIEventType::ScrollWheel:
        case UIEventType::ContextMenu:
            return;
        case UIEventType::KeyDown:
            switch (event.key) {
                case VK_UP:
                case VK_PRIOR:
                    SelectItem(NextSelectableIndex(m_selected - 1, false));
                    return;
                case VK_DOWN:
                case VK_NEXT:
                    SelectItem(NextSelectableIndex(m_selected + 1, true));
                    return;
                case VK_HOME:
                    SelectItem(NextSelectableIndex(0, false));
                    return;
                case VK_END:
                    SelectItem(NextSelectableIndex(CContainerUI::ChildCount() - 1, true));
                    return;
                case VK_F4:
                    Trigger();
                    return;
                default:
                    break;
            }
            break;
        case UIEventType::MouseEnter:
            if (RectContains(m_bounds, event.mouse)) {
                m_buttonState |= kStateHot;
                Repaint();
            }
            return;
        case UIEventType::MouseLeave:
            if ((m_buttonState & kStateHot) != 0) {
                m_buttonState &= ~kStateHot;
                Repaint();
            }
            return;
        default:
            break;
    }
    CControlUI::HandleEvent(event);
}

// --- selection ---

bool CComboUI::SelectItem(int index, bool takeFocus) {
    if (m_popup != nullptr) m_popup->PostClose(1);
    if (index == m_selected) return true;
    const int old = m_selected;
    if (m_selected >= 0) {
        CControlUI* current = OwnChildAt(m_selected);
        if (current == nullptr) return false;
        if (IListItemUI* item = AsListItem(current)) item->Select(false);
        m_selected = -1;
    }
    const int count = m_items.Count();
    if (index < 0 || count == 0) return false;
    index = std::min(index, count - 1);
    CControlUI* control = OwnChildAt(index);
    IListItemUI* item = AsListItem(control);
    if (control == nullptr || !control->IsShown() || !control->IsUsable() || item == nullptr) return false;
    // Stored first: the item answers by selecting itself through us, which must be a no-op.
    m_selected = index;
    if (m_popup != nullptr || takeFocus) control->TakeFocus();
    item->Select(true);
    if (m_manager != nullptr) {
        m_manager->RaiseNotify(this, L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
    }
    Repaint();
    return true;
}

// --- children ---

void CComboUI::RenumberItems(int from, int to) {
    for (int i = std::max(0, from); i <= to && i < m_items.Count(); ++i) {
        if (IListItemUI* item = AsListItem(OwnChildAt(i))) item->SetItemIndex(i);
    }
}

bool CComboUI::AppendChild(CControlUI* control) {
    return CComboUI::InsertChildAt(control, m_items.Count());
}

bool CComboUI::InsertChildAt(CControlUI* control, int index) {
    if (!CContainerUI::InsertChildAt(control, index)) return false;
    if (IListItemUI* item = AsListItem(control)) {
        item->SetOwner(this);
        item->SetItemIndex(index);
    }
    RenumberItems(index + 1, m_items.Count() - 1);
    if (m_selected >= index) ++m_selected;
    if (m_popup != nullptr) m_popup->ItemAdded(control, index);
    // An item selected before it joined ("selected" in a skin) is the combo's selection.
    IListItemUI* item = AsListItem(control);
    if (item != nullptr && item->IsSelected() && m_selected != index) SelectItem(index);
    return true;
}

bool CComboUI::MoveChildTo(CControlUI* control, int index) {
    const int from = m_items.IndexOf(control);
    if (from < 0) return false;
    CControlUI* selected = m_selected >= 0 ? OwnChildAt(m_selected) : nullptr;
    if (!CContainerUI::MoveChildTo(control, index)) return false;
    RenumberItems(std::min(from, index), std::max(from, index));
    if (selected != nullptr) m_selected = m_items.IndexOf(selected);
    if (m_popup != nullptr) m_popup->ItemMoved(control, index);
    return true;
}

bool CComboUI::RemoveChild(CControlUI* control) {
    return CComboUI::RemoveChildAt(m_items.IndexOf(control));
}

bool CComboUI::RemoveChildAt(int index) {
    CControlUI* control = OwnChildAt(index);
    if (control == nullptr) return false;
    // A row removed from its own handler must not reach us any more.
    if (IListItemUI* item = AsListItem(control)) item->SetOwner(nullptr);
    if (m_popup != nullptr) m_popup->ItemRemoved(control);
    if (!CContainerUI::RemoveChildAt(index)) return false;
    RenumberItems(index, m_items.Count() - 1);
    if (index == m_selected) {
        m_selected = -1;
        SelectItem(NextSelectableIndex(index, false), false);
    } else if (index < m_selected) {
        --m_selected;
    }
    return true;
}

void CComboUI::RemoveAllChildren() {
    for (int i = 0; i < m_items.Count(); ++i) {
        CControlUI* control = OwnChildAt(i);
        if (IListItemUI* item = AsListItem(control)) item->SetOwner(nullptr);
        if (m_popup != nullptr) m_popup->ItemRemoved(control);
    }
    CContainerUI::RemoveAllChildren();
    m_selected = -1;
}

// --- painting ---

bool CComboUI::Render(HDC hdc, const RECT& paintRect) {
    return CControlUI::Render(hdc, paintRect);
}

void CComboUI::RenderStateImage(HDC hdc) {
    UpdateStateBits();
    CUIString* image = nullptr;
    if ((m_buttonState & kStateDisabled) != 0) {
        image = &m_disabledImage;
    } else if ((m_buttonState & kStatePushed) != 0) {
        image = &m_pushedImage;
    } else if ((m_buttonState & kStateHot) != 0) {
        image = &m_hotImage;
    } else if ((m_buttonState & kStateFocused) != 0) {
        image = &m_focusedImage;
    }
    if (image != nullptr && DrawSkinImageOrForget(hdc, *image)) return;
    DrawSkinImageOrForget(hdc, m_normalImage);
}

RECT CComboUI::CaptionArea() const {
    return RECT{m_bounds.left + m_textPadding.left, m_bounds.top + m_textPadding.top,
                m_bounds.right - m_textPadding.right, m_bounds.bottom - m_textPadding.bottom};
}

void CComboUI::DrawSelection(HDC hdc, const RECT& area, bool withDefaultText) {
    if (m_selected >= 0) {
        CControlUI* control = OwnChildAt(m_selected);
        if (control == nullptr) return;
        if (IListItemUI* item = AsListItem(control)) {
            item->DrawItemText(hdc, area);
            return;
        }
        const RECT old = control->GetBounds();
        control->SetBounds(area);
        control->Render(hdc, area);
        control->SetBounds(old);
        return;
    }
    if (!withDefaultText || m_defaultText.IsEmpty()) return;
    DWORD color = m_style.textColor;
    if ((m_buttonState & kStateHot) != 0) color = m_style.hotTextColor;
    if ((m_buttonState & kStatePushed) != 0) color = m_style.selectedTextColor;
    if ((m_buttonState & kStateDisabled) != 0) color = m_style.disabledTextColor;
    const UINT format = m_style.textStyle | DT_SINGLELINE;
    RECT rect = area;
    CUIRenderEngine::DrawPlainOrMarkedText(hdc, m_manager, rect, m_defaultText.View(), color, m_style.font, format,
                                           m_style.showHtml);
}

void CComboUI::RenderCaption(HDC hdc) {
    DrawSelection(hdc, CaptionArea(), true);
}

// --- attributes ---

void CComboUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    RECT rect{};
    SIZE size{};
    DWORD color = 0;
    int number = 0;
    const auto setImage = [&](CUIString& field) {
        field = CUIString(value);
        Repaint();
    };
    const auto setColor = [&](DWORD& field) {
        if (ParseColor(value, &color)) field = color;
    };
    if (name == L"textpadding") {
        if (ParseRect(value, &rect)) {
            m_textPadding = ClampGeometry(rect);
            Repaint();
        }
    } else if (name == L"defaulttext") {
        m_defaultText = CUIString(value);
        Repaint();
    } else if (name == L"normalimage") {
        setImage(m_normalImage);
    } else if (name == L"hotimage") {
        setImage(m_hotImage);
    } else if (name == L"pushedimage") {
        setImage(m_pushedImage);
    } else if (name == L"focusedimage") {
        setImage(m_focusedImage);
    } else if (name == L"disabledimage") {
        setImage(m_disabledImage);
    } else if (name == L"dropbox") {
        m_dropBoxAttributes = CUIString(value);
    } else if (name == L"dropboxsize") {
        if (ParseSize(value, &size)) {
            m_dropBoxSize =
                SIZE{std::clamp<LONG>(size.cx, 0, kGeometryLimit), std::clamp<LONG>(size.cy, 0, kGeometryLimit)};
        }
    } else if (name == L"itemfont") {
        if (ParseInt(value, &number)) m_style.font = number;
    } else if (name == L"itemalign") {
        m_style.textStyle = AlignTextStyle(m_style.textStyle, value);
    } else if (name == L"itemtextpadding") {
        if (ParseRect(value, &rect)) {
            m_style.textPadding = ClampGeometry(rect);
            Repaint();
        }
    } else if (name == L"itemtextcolor") {
        setColor(m_style.textColor);
        Repaint();
    } else if (name == L"itembkcolor") {
        setColor(m_style.backColor);
    } else if (name == L"itemselectedtextcolor") {
        setColor(m_style.selectedTextColor);
    } else if (name == L"itemselectedbkcolor") {
        setColor(m_style.selectedBackColor);
    } else if (name == L"itemhottextcolor") {
        setColor(m_style.hotTextColor);
    } else if (name == L"itemhotbkcolor") {
        setColor(m_style.hotBackColor);
    } else if (name == L"itemdisabledtextcolor") {
        setColor(m_style.disabledTextColor);
    } else if (name == L"itemdisabledbkcolor") {
        setColor(m_style.disabledBackColor);
    } else if (name == L"itemlinecolor") {
        setColor(m_style.lineColor);
    } else if (name == L"itembkimage") {
        m_style.backImage = CUIString(value);
    } else if (name == L"itemselectedimage") {
        m_style.selectedImage = CUIString(value);
    } else if (name == L"itemhotimage") {
        m_style.hotImage = CUIString(value);
    } else if (name == L"itemdisabledimage") {
        m_style.disabledImage = CUIString(value);
    } else if (name == L"itemaltbk") {
        m_style.alternateBack = ParseBool(value);
    } else if (name == L"itemshowhtml") {
        const bool show = ParseBool(value);
        if (show == m_style.showHtml) return;
        m_style.showHtml = show;
        Repaint();
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
