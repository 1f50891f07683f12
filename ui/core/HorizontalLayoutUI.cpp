#include "ui/core/HorizontalLayoutUI.h"

namespace SkinUI {

const wchar_t* CHorizontalLayoutUI::GetClassTag() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::QueryFacet(std::wstring_view name) {
    if (name == L"HorizontalLayout") return this;
    return CLinearLayoutUI::QueryFacet(name);
}

}  // namespace SkinUI
