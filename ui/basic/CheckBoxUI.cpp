#include "ui/basic/CheckBoxUI.h"

namespace SkinUI {

const wchar_t* CCheckBoxUI::GetClassTag() const {
    return L"CheckBoxUI";
}

void* CCheckBoxUI::QueryFacet(std::wstring_view name) {
    if (name == L"CheckBox") return this;
    return COptionUI::QueryFacet(name);
}

}  // namespace SkinUI
