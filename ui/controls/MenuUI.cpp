#include "ui/controls/MenuUI.h"

#include <algorithm>

#include "commonlib/util/StringUtils.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/core/ContainerUI.h"

namespace SkinUI {

CMenuUI::CMenuUI() {
    GetHeaderControl()->Show(false);
}

const wchar_t* CMenuUI::GetClassTag() const {
    return L"MenuUI";
}

void* CMenuUI::QueryFacet(std::wstring_view name) {
    if (EqualsNoCaseW(name, L"Menu")) return this;
    return CListUI::QueryFacet(name);
}

SIZE CMenuUI::MeasureDesired(SIZE available) {
    long long width = 0;
    long long height = 0;
    for (int i = 0; i < ChildCount(); ++i) {
        CControlUI* row = GetChildAt(i);
        if (!row->IsShown()) continue;
        const SIZE desired = row->MeasureDesired(available);
        width = std::max<long long>(width, desired.cx);
        height += desired.cy;
    }
    return SIZE{ClampGeometry(width), ClampGeometry(height)};
}

void CMenuUI::Show(bool show) {
    CListUI::Show(show);
    HideAllNestedElements();
}

void CMenuUI::SetShownByParent(bool shown) {
    CListUI::SetShownByParent(shown);
    HideAllNestedElements();
}

void CMenuUI::HideAllNestedElements() {
    for (int i = 0; i < ChildCount(); ++i)
        HideNestedElements(GetChildAt(i));
}

bool CMenuUI::IsMenuElement(CControlUI* control) {
    return control != nullptr && control->QueryFacet(L"MenuElement") != nullptr;
}

void CMenuUI::HideNestedElements(CControlUI* element) {
    auto* children = static_cast<IContainerUI*>(element->QueryFacet(L"IContainer"));
    if (children == nullptr) return;
    for (int i = 0; i < children->ChildCount(); ++i) {
        CControlUI* child = children->GetChildAt(i);
        if (IsMenuElement(child)) child->SetShownByParent(false);
    }
}

int CMenuUI::IndexOfChild(CControlUI* control) const {
    return IsMenuElement(control) ? CListUI::IndexOfChild(control) : -1;
}

bool CMenuUI::MoveChildTo(CControlUI* control, int index) {
    return IsMenuElement(control) && CListUI::MoveChildTo(control, index);
}

bool CMenuUI::AppendChild(CControlUI* control) {
    if (!IsMenuElement(control)) return false;
    HideNestedElements(control);
    if (!CListUI::AppendChild(control)) return false;
    // Joining the body passes the body's visibility down the element: hide the nested ones again.
    HideNestedElements(control);
    return true;
}

bool CMenuUI::InsertChildAt(CControlUI* control, int index) {
    if (!IsMenuElement(control)) return false;
    HideNestedElements(control);
    if (!CListUI::InsertChildAt(control, index)) return false;
    HideNestedElements(control);
    return true;
}

bool CMenuUI::RemoveChild(CControlUI* control) {
    return IsMenuElement(control) && CListUI::RemoveChild(control);
}

}  // namespace SkinUI
