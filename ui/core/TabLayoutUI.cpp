#include "ui/core/TabLayoutUI.h"

#include <algorithm>

#include "ui/core/AttributeText.h"

namespace SkinUI {

const wchar_t* CTabLayoutUI::GetClassTag() const {
    return L"TabLayoutUI";
}

void* CTabLayoutUI::QueryFacet(std::wstring_view name) {
    if (name == L"TabLayout") return this;
    return CContainerUI::QueryFacet(name);
}

bool CTabLayoutUI::InsertChildAt(CControlUI* control, int index) {
    const int before = ChildCount();
    if (!CContainerUI::InsertChildAt(control, index)) return false;
    const int at = IndexOfChild(control);
    // A page inserted before the shown one moves it on; a page number beyond the pages
    // (from "selectedid") waits for its page.
    if (m_currentPage >= 0 && m_currentPage < before && at <= m_currentPage) ++m_currentPage;
    if (m_currentPage < 0 && control->IsVisibleFlag()) {
        m_currentPage = at;
    } else if (at != m_currentPage) {
        control->Show(false);
    }
    return true;
}

bool CTabLayoutUI::RemoveChildAt(int index) {
    if (GetChildAt(index) == nullptr) return false;
    const bool wasCurrent = index == m_currentPage;
    if (!CContainerUI::RemoveChildAt(index)) return false;
    if (index < m_currentPage) {
        --m_currentPage;
    } else if (wasCurrent) {
        m_currentPage = -1;
        if (ChildCount() > 0) ShowPage(std::min(index, ChildCount() - 1));
    }
    return true;
}

void CTabLayoutUI::RemoveAllChildren() {
    m_currentPage = -1;
    CContainerUI::RemoveAllChildren();
}

bool CTabLayoutUI::MoveChildTo(CControlUI* control, int index) {
    // The shown page keeps being the current one wherever the move puts it.
    CControlUI* current = GetChildAt(m_currentPage);
    if (!CContainerUI::MoveChildTo(control, index)) return false;
    if (current != nullptr) m_currentPage = IndexOfChild(current);
    return true;
}

void CTabLayoutUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    if (name == L"selectedid") {
        if (!ParseInt(value, &number) || number < 0) return;
        // Before the pages exist, the number only says which page to keep shown.
        if (!ShowPage(number) && number >= ChildCount()) m_currentPage = number;
    } else {
        CContainerUI::ApplyAttribute(name, value);
    }
}

bool CTabLayoutUI::ShowPage(int index) {
    if (index < 0 || index >= ChildCount()) return false;
    m_currentPage = index;
    for (int i = 0; i < ChildCount(); ++i)
        GetChildAt(i)->Show(i == index);
    RequestRelayout();
    return true;
}

}  // namespace SkinUI
