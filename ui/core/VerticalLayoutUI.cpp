#include "ui/core/VerticalLayoutUI.h"

namespace SkinUI {

const wchar_t* CVerticalLayoutUI::GetClassTag() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::QueryFacet(std::wstring_view name) {
    if (name == L"VerticalLayout") return this;
    return CLinearLayoutUI::QueryFacet(name);
}

}  // namespace SkinUI
