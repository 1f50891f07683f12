#include "ui/controls/ListUI.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "platform/window/WinMessages.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ListBodyUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

// Smooth scrolling: pixels a wheel notch adds, what a notch against the running direction
// adds, and the most an animation may hold.
constexpr int kNotchAmount = 8;
constexpr int kReverseNotchAmount = 12;
constexpr int kMaxWheelAmount = 100;
constexpr unsigned kStepsPerRootPixel = 5;

IListItemUI* AsListItem(CControlUI* control) {
    return control != nullptr ? static_cast<IListItemUI*>(control->QueryFacet(L"ListItem")) : nullptr;
}

}  // namespace

CListUI::CListUI() {
    m_body = new CListBodyUI(this);
    m_header = new CListHeaderUI();
    CListUI::AppendChild(m_header);
    CContainerUI::InsertChildAt(m_body, CContainerUI::ChildCount());
}

CListUI::~CListUI() = default;

const wchar_t* CListUI::GetClassTag() const {
    return L"ListUI";
}

void* CListUI::QueryFacet(std::wstring_view name) {
    if (name == L"List") return this;
    if (name == L"IList") return static_cast<IListUI*>(this);
    if (name == L"IListOwner") return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::QueryFacet(name);
}

UINT CListUI::GetBehaviourFlags() const {
    return kBehaviourFocusStop;
}

// --- layout ---

void CListUI::UpdateColumnCount() {
    m_style.columnCount = std::min(m_header->ChildCount(), kMaxListColumns);
}

void CListUI::PlaceColumns(int shift) {
    for (int i = 0; i < m_style.columnCount; ++i) {
        CControlUI* item = m_header->GetChildAt(i);
        if (item == nullptr || !item->IsShown() || item->IsFloating()) continue;
        if (shift > 0) {
            RECT moved = item->GetBounds();
            moved.left -= shift;
            moved.right -= shift;
            item->SetBounds(moved);
        }
        m_style.columns[i] = item->GetBounds();
    }
}

void CListUI::SetBounds(const RECT& bounds) {
    CVerticalLayoutUI::SetBounds(bounds);
    UpdateColumnCount();
    const int shift = m_body->GetScrollOffset().cx;
    PlaceColumns(shift);
    // Again, so the body lays its rows out against the new columns.
    CVerticalLayoutUI::SetBounds(bounds);
    // That pass put the header's items back at their unscrolled places.
    PlaceColumns(shift);
    if (!m_header->IsShown()) {
        // A hidden header still gives the rows their columns: its items get places for a moment.
        const int count = m_header->ChildCount();
        for (int i = 0; i < count; ++i)
            m_header->GetChildAt(i)->SetShownByParent(true);
        m_header->SetBounds(RECT{bounds.left, 0, bounds.right, 0});
        PlaceColumns(shift);
        for (int i = 0; i < count; ++i)
            m_header->GetChildAt(i)->SetShownByParent(false);
    }
}

// --- forwarded to the body ---

int CListUI::GetChildGap() const {
    return m_body->GetChildGap();
}

void CListUI::SetChildGap(int gap) {
    m_body->SetChildGap(gap);
}

SIZE CListUI::GetScrollOffset() const {
    return m_body->GetScrollOffset();
}

SIZE CListUI::GetScrollExtent() const {
    return m_body->GetScrollExtent();
}

void CListUI::ScrollTo(SIZE offset) {
    m_body->ScrollTo(offset);
}

void CListUI::SetScrollBarThickness(int horizontalHeight, int verticalWidth) {
    m_body->SetScrollBarThickness(horizontalHeight, verticalWidth);
}

void CListUI::ScrollLineUp() {
    m_body->ScrollLineUp();
}

void CListUI::ScrollLineDown() {
    m_body->ScrollLineDown();
}

void CListUI::ScrollPageUp() {
    m_body->ScrollPageUp();
}

void CListUI::ScrollPageDown() {
    m_body->ScrollPageDown();
}

void CListUI::ScrollToTop() {
    m_body->ScrollToTop();
}

void CListUI::ScrollToBottom() {
    m_body->ScrollToBottom();
}

void CListUI::ScrollLineLeft() {
    m_body->ScrollLineLeft();
}

void CListUI::ScrollLineRight() {
    m_body->ScrollLineRight();
}

void CListUI::ScrollPageLeft() {
    m_body->ScrollPageLeft();
}

void CListUI::ScrollPageRight() {
    m_body->ScrollPageRight();
}

void CListUI::ScrollToLeftEnd() {
    m_body->ScrollToLeftEnd();
}

void CListUI::ScrollToRightEnd() {
    m_body->ScrollToRightEnd();
}

void CListUI::ConfigureScrollBars(bool vertical, bool horizontal) {
    m_body->ConfigureScrollBars(vertical, horizontal);
}

CScrollBarUI* CListUI::GetVScrollBar() const {
    return m_body->GetVScrollBar();
}

CScrollBarUI* CListUI::GetHScrollBar() const {
    return m_body->GetHScrollBar();
}

// --- child management ---

CListUI::ChildKind CListUI::KindOf(CControlUI* control) const {
    if (control->QueryFacet(L"ListHeader") != nullptr) return ChildKind::Header;
    if (std::wcsstr(control->GetClassTag(), L"ListHeaderItemUI") != nullptr) return ChildKind::HeaderItem;
    return ChildKind::Row;
}

IListItemUI* CListUI::RowAt(int index) const {
    return AsListItem(m_body->GetChildAt(index));
}

void CListUI::RenumberRows(int from, int to) {
    for (int i = std::max(0, from); i <= to; ++i) {
        if (IListItemUI* row = RowAt(i)) row->SetItemIndex(i);
    }
}

void CListUI::AdoptSelection(IListItemUI* row) {
    // A row selected before it joined ("selected" in a skin) is what the list shows as selected.
    if (row->IsSelected() && row->GetItemIndex() != m_selected) SelectItem(row->GetItemIndex());
}

void CListUI::ForgetRow(CControlUI* control) {
    if (IListItemUI* row = AsListItem(control)) row->SetOwner(nullptr);
}

bool CListUI::AddHeader(CControlUI* header) {
    // Insert first: a refused control must not become the header.
    if (!CContainerUI::InsertChildAt(header, 0)) return false;
    if (m_header != header && m_header->ChildCount() == 0) {
        CListHeaderUI* empty = m_header;
        m_header = static_cast<CListHeaderUI*>(header->QueryFacet(L"ListHeader"));
        CContainerUI::RemoveChildAt(CContainerUI::IndexOfChild(empty));
    }
    UpdateColumnCount();
    return true;
}

CControlUI* CListUI::GetChildAt(int index) const {
    return m_body->GetChildAt(index);
}

int CListUI::IndexOfChild(CControlUI* control) const {
    if (control == nullptr) return -1;
    switch (KindOf(control)) {
        case ChildKind::Header:
            return CContainerUI::IndexOfChild(control);
        case ChildKind::HeaderItem:
            return m_header->IndexOfChild(control);
        case ChildKind::Row:
            break;
    }
    return m_body->IndexOfChild(control);
}

int CListUI::ChildCount() const {
    return m_body->ChildCount();
}

bool CListUI::AppendChild(CControlUI* control) {
    if (control == nullptr) return false;
    switch (KindOf(control)) {
        case ChildKind::Header:
            return AddHeader(control);
        case ChildKind::HeaderItem: {
            const bool added = m_header->AppendChild(control);
            UpdateColumnCount();
            return added;
        }
        case ChildKind::Row:
            break;
    }
    // Numbered only once the body took it: a refused row (one already here) keeps its number.
    if (!m_body->AppendChild(control)) return false;
    if (IListItemUI* row = AsListItem(control)) {
        row->SetOwner(this);
        row->SetItemIndex(m_body->ChildCount() - 1);
        AdoptSelection(row);
    }
    return true;
}

bool CListUI::InsertChildAt(CControlUI* control, int index) {
    if (control == nullptr) return false;
    switch (KindOf(control)) {
        case ChildKind::Header:
            return AddHeader(control);
        case ChildKind::HeaderItem: {
            const bool added = m_header->InsertChildAt(control, index);
            UpdateColumnCount();
            return added;
        }
        case ChildKind::Row:
            break;
    }
    if (!m_body->InsertChildAt(control, index)) return false;
    if (IListItemUI* row = AsListItem(control)) {
        row->SetOwner(this);
        row->SetItemIndex(index);
    }
    RenumberRows(index + 1, m_body->ChildCount() - 1);
    if (m_selected >= index) ++m_selected;
    if (m_expanded >= index) ++m_expanded;
    if (IListItemUI* row = AsListItem(control)) AdoptSelection(row);
    return true;
}

bool CListUI::MoveChildTo(CControlUI* control, int index) {
    if (control == nullptr) return false;
    switch (KindOf(control)) {
        case ChildKind::Header:
            return CContainerUI::MoveChildTo(control, index);
        case ChildKind::HeaderItem:
            return m_header->MoveChildTo(control, index);
        case ChildKind::Row:
            break;
    }
    const int from = m_body->IndexOfChild(control);
    if (from < 0) return false;
    if (from == index) return true;
    IListItemUI* selected = m_selected >= 0 ? RowAt(m_selected) : nullptr;
    IListItemUI* expanded = m_expanded >= 0 ? RowAt(m_expanded) : nullptr;
    if (!m_body->MoveChildTo(control, index)) return false;
    RenumberRows(std::min(from, index), std::max(from, index));
    if (selected != nullptr) m_selected = selected->GetItemIndex();
    if (expanded != nullptr) m_expanded = expanded->GetItemIndex();
    return true;
}

bool CListUI::RemoveChild(CControlUI* control) {
    if (control == nullptr) return false;
    switch (KindOf(control)) {
        case ChildKind::Header: {
            const int index = CContainerUI::IndexOfChild(control);
            if (index < 0) return false;
            const bool current = control == m_header;
            if (!CContainerUI::RemoveChildAt(index)) return false;
            // Layout and horizontal scrolling always need a header: an empty one takes its place.
            if (current) {
                m_header = new CListHeaderUI();
                CContainerUI::InsertChildAt(m_header, 0);
                UpdateColumnCount();
            }
            return true;
        }
        case ChildKind::HeaderItem:
            return m_header->RemoveChild(control);
        case ChildKind::Row:
            break;
    }
    return RemoveChildAt(m_body->IndexOfChild(control));
}

bool CListUI::RemoveChildAt(int index) {
    CControlUI* control = m_body->GetChildAt(index);
    if (control == nullptr) return false;
    // Before the body may free it; a row removed from its own handler then cannot reach us.
    ForgetRow(control);
    if (!m_body->RemoveChildAt(index)) return false;
    RowRemovedAt(index);
    return true;
}

void CListUI::RowRemovedAt(int index) {
    RenumberRows(index, m_body->ChildCount() - 1);
    if (index == m_expanded) {
        m_expanded = -1;
    } else if (index < m_expanded) {
        --m_expanded;
    }
    if (m_selected >= 0 && index == m_selected) {
        m_selected = -1;
        SelectItem(NextSelectableIndex(index, false), false);
    } else if (index < m_selected) {
        --m_selected;
    }
}

void CListUI::RemoveAllChildren() {
    m_selected = -1;
    m_expanded = -1;
    for (int i = 0; i < m_body->ChildCount(); ++i)
        ForgetRow(m_body->GetChildAt(i));
    m_body->RemoveAllChildren();
}

// --- selection and expansion ---

bool CListUI::SelectItem(int index, bool takeFocus) {
    if (index == m_selected) return true;
    const int before = m_selected;
    if (m_selected >= 0) {
        if (IListItemUI* row = RowAt(m_selected)) row->Select(false);
        m_selected = -1;
    }
    if (index < 0) return false;
    CControlUI* control = m_body->GetChildAt(index);
    IListItemUI* row = AsListItem(control);
    if (row == nullptr || !control->IsShown() || !control->IsUsable()) return false;
    // Stored first: the row answers by selecting itself through us, which must be a no-op.
    m_selected = index;
    if (!row->Select(true)) {
        m_selected = -1;
        return false;
    }
    if (takeFocus) control->TakeFocus();
    if (m_manager != nullptr) m_manager->RaiseNotify(this, L"itemselect", static_cast<WPARAM>(index), before);
    return true;
}

bool CListUI::ExpandItem(int index, bool expand) {
    if (m_expanded >= 0 && !m_style.multiExpand) {
        if (IListItemUI* row = RowAt(m_expanded)) row->Expand(false);
        m_expanded = -1;
    }
    if (expand) {
        CControlUI* control = m_body->GetChildAt(index);
        IListItemUI* row = AsListItem(control);
        if (row == nullptr || !control->IsShown()) return false;
        m_expanded = index;
        if (!row->Expand(true)) {
            m_expanded = -1;
            return false;
        }
    }
    RequestRelayout();
    return true;
}

void CListUI::ScrollRowIntoView(int index) {
    if (m_selected < 0) return;
    CControlUI* row = m_body->GetChildAt(index);
    if (row == nullptr) return;
    const RECT body = m_body->GetBounds();
    const RECT inset = m_body->GetContentInset();
    const int top = body.top + inset.top;
    int bottom = body.bottom - inset.bottom;
    if (CScrollBarUI* bar = m_body->GetHScrollBar(); bar != nullptr && bar->IsShown()) {
        bottom -= bar->GetPresetHeight();
    }
    const RECT& place = row->GetBounds();
    int shift = 0;
    if (place.top < top) shift = place.top - top;
    if (place.bottom > bottom) shift = place.bottom - bottom;
    if (shift == 0) return;
    const SIZE offset = m_body->GetScrollOffset();
    m_body->ScrollTo(SIZE{offset.cx, offset.cy + shift});
}

void CListUI::SelectAndReveal(int index) {
    SelectItem(index, true);
    // The receivers of "itemselect" may have changed the rows: the index is looked up again.
    ScrollRowIntoView(m_selected);
}

// --- input ---

void CListUI::HandleItemEvent(UIEventRecord& event) {
    CListUI::HandleEvent(event);
}

void CListUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CVerticalLayoutUI::HandleEvent(event);
        }
        return;
    }
    if (event.type == UIEventType::SetFocus || event.type == UIEventType::KillFocus) {
        SetFocusedFlag(event.type == UIEventType::SetFocus);
        return;
    }
    if (m_delayScroll) {
        if (event.type == UIEventType::Timer && event.wParam == kSmoothScrollTimerId) {
            OnSmoothTick();
            return;
        }
        if (event.type == UIEventType::ScrollWheel) {
            OnSmoothWheel(WheelTurnOf(event));
            return;
        }
    }
    if (event.type == UIEventType::KeyDown) {
        switch (event.key) {
            case VK_RETURN:
                if (m_selected >= 0) {
                    if (CControlUI* row = m_body->GetChildAt(m_selected)) row->Trigger();
                }
                return;
            case VK_PRIOR:
                ScrollPageUp();
                return;
            case VK_NEXT:
                ScrollPageDown();
                return;
            case VK_END:
                SelectAndReveal(NextSelectableIndex(ChildCount() - 1, true));
                return;
            case VK_HOME:
                SelectAndReveal(NextSelectableIndex(0, false));
                return;
            case VK_UP:
                SelectAndReveal(NextSelectableIndex(m_selected - 1, false));
                return;
            case VK_DOWN:
                SelectAndReveal(NextSelectableIndex(m_selected + 1, true));
                return;
            default:
                CVerticalLayoutUI::HandleEvent(event);
                return;
        }
    }
    if (event.type == UIEventType::ScrollWheel) {
        switch (WheelTurnOf(event)) {
            case UIWheelTurn::Away:
                if (m_scrollSelect) {
                    SelectItem(NextSelectableIndex(m_selected - 1, false), true);
                } else {
                    ScrollLineUp();
                }
                return;
            case UIWheelTurn::Toward:
                if (m_scrollSelect) {
                    SelectItem(NextSelectableIndex(m_selected + 1, true), true);
                } else {
                    ScrollLineDown();
                }
                return;
            case UIWheelTurn::None:
                break;
        }
    }
    CVerticalLayoutUI::HandleEvent(event);
}

// --- smooth scrolling ---

int CListUI::SmoothStep() const {
    if (m_totalSteps == 0) return 0;
    const double left = static_cast<double>(m_remainingSteps) / m_totalSteps;
    return static_cast<int>(std::trunc(m_wheelAmount * left * left));
}

void CListUI::OnSmoothWheel(UIWheelTurn turn) {
    const int step = SmoothStep();
    if (turn == UIWheelTurn::Away) {
        m_wheelAmount = step + (m_wheelAmount < 0 ? kReverseNotchAmount : kNotchAmount);
    } else if (turn == UIWheelTurn::Toward) {
        m_wheelAmount = step - (m_wheelAmount > 0 ? kReverseNotchAmount : kNotchAmount);
    }
    m_wheelAmount = std::clamp(m_wheelAmount, -kMaxWheelAmount, kMaxWheelAmount);
    m_totalSteps = kStepsPerRootPixel * static_cast<unsigned>(std::sqrt(std::abs(m_wheelAmount)));
    m_remainingSteps = m_totalSteps;
    if (m_manager != nullptr) m_manager->StartControlTimer(this, kSmoothScrollTimerId, kSmoothScrollIntervalMs);
}

void CListUI::OnSmoothTick() {
    if (m_remainingSteps == 0) {
        StopSmoothScroll();
        return;
    }
    --m_remainingSteps;
    const int step = SmoothStep();
    const SIZE offset = m_body->GetScrollOffset();
    const SIZE extent = m_body->GetScrollExtent();
    if ((step > 0 && offset.cy != 0) || (step < 0 && offset.cy != extent.cy)) {
        m_body->ScrollTo(SIZE{offset.cx, offset.cy - step});
    } else {
        StopSmoothScroll();
    }
}

void CListUI::StopSmoothScroll() {
    m_wheelAmount = 0;
    m_totalSteps = 0;
    m_remainingSteps = 0;
    if (m_manager != nullptr) m_manager->StopControlTimer(this, kSmoothScrollTimerId);
}

// --- attributes ---

void CListUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    int number = 0;
    RECT rect{};
    const auto setColor = [&](DWORD& field) {
        if (!ParseColor(value, &color)) return;
        field = color;
        Repaint();
    };
    const auto setImage = [&](CUIString& field) {
        field = CUIString(value);
        Repaint();
    };
    if (name == L"vscrollbar" || name == L"hscrollbar" || name == L"vscrollbarstyle" || name == L"hscrollbarstyle" ||
        name == L"vscrollsize" || name == L"hscrollsize" || name == L"childpadding") {
        // The body scrolls and spaces the rows; the list itself never does.
        m_body->ApplyAttribute(name, value);
    } else if (name == L"header") {
        m_header->Show(value != L"hidden");
    } else if (name == L"headerbkimage") {
        m_header->SetBackImage(CUIString(value));
    } else if (name == L"scrollselect") {
        m_scrollSelect = ParseBool(value);
    } else if (name == L"multiexpanding") {
        m_style.multiExpand = ParseBool(value);
    } else if (name == L"itemfont") {
        if (ParseInt(value, &number)) m_style.font = number;
    } else if (name == L"itemalign") {
        m_style.textStyle = AlignTextStyle(m_style.textStyle, value);
    } else if (name == L"itemendellipsis") {
        m_style.textStyle =
            ParseBool(value) ? (m_style.textStyle | DT_END_ELLIPSIS) : (m_style.textStyle & ~DT_END_ELLIPSIS);
    } else if (name == L"itemtextpadding") {
        if (ParseRect(value, &rect)) {
            m_style.textPadding = ClampGeometry(rect);
            RequestRelayout();
        }
    } else if (name == L"itemtextcolor") {
        setColor(m_style.textColor);
    } else if (name == L"itembkcolor") {
        setColor(m_style.backColor);
    } else if (name == L"itembkimage") {
        setImage(m_style.backImage);
    } else if (name == L"itemaltbk") {
        m_style.alternateBack = ParseBool(value);
        Repaint();
    } else if (name == L"itemselectedtextcolor") {
        setColor(m_style.selectedTextColor);
    } else if (name == L"itemselectedbkcolor") {
        setColor(m_style.selectedBackColor);
    } else if (name == L"itemselectedimage") {
        setImage(m_style.selectedImage);
    } else if (name == L"itemhottextcolor") {
        setColor(m_style.hotTextColor);
    } else if (name == L"itemhotbkcolor") {
        setColor(m_style.hotBackColor);
    } else if (name == L"itemhotimage") {
        setImage(m_style.hotImage);
    } else if (name == L"itemdisabledtextcolor") {
        setColor(m_style.disabledTextColor);
    } else if (name == L"itemdisabledbkcolor") {
        setColor(m_style.disabledBackColor);
    } else if (name == L"itemdisabledimage") {
        setImage(m_style.disabledImage);
    } else if (name == L"itemlinecolor") {
        setColor(m_style.lineColor);
    } else if (name == L"itemshowhtml") {
        const bool show = ParseBool(value);
        if (show == m_style.showHtml) return;
        m_style.showHtml = show;
        RequestRelayout();
    } else if (name == L"delayscroll") {
        m_delayScroll = ParseBool(value);
        if (!m_delayScroll) StopSmoothScroll();
    } else {
        CVerticalLayoutUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
