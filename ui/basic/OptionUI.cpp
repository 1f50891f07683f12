#include "ui/basic/OptionUI.h"

#include <vector>

#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

struct GroupSearch {
    const COptionUI* self;
    std::wstring_view group;
    std::vector<COptionUI*> members;
};

bool CollectGroupMember(CControlUI* control, void* data) {
    auto* search = static_cast<GroupSearch*>(data);
    auto* option = static_cast<COptionUI*>(control->QueryFacet(L"Option"));
    if (option != nullptr && option != search->self && option->GetGroupName().View() == search->group) {
        search->members.push_back(option);
    }
    return false;
}

}  // namespace

const wchar_t* COptionUI::GetClassTag() const {
    return L"OptionUI";
}

void* COptionUI::QueryFacet(std::wstring_view name) {
    if (name == L"Option") return this;
    return CButtonUI::QueryFacet(name);
}

void COptionUI::Select(bool select) {
    if (m_selected == select) return;
    m_selected = select;
    const bool grouped = !m_groupName.IsEmpty();
    if (select && grouped && m_manager != nullptr && m_manager->GetRoot() != nullptr) {
        GroupSearch search{this, m_groupName.View(), {}};
        m_manager->GetRoot()->FindControl(CollectGroupMember, &search, kFindAll);
        for (COptionUI* member : search.members)
            member->Select(false);
    }
    if (!(grouped && !select) && m_manager != nullptr) m_manager->RaiseNotify(this, L"selectchanged", 0, 0);
    Repaint();
}

void COptionUI::SetGroupName(const CUIString& name) {
    if (m_groupName == name) return;
    m_groupName = name;
    Repaint();
}

bool COptionUI::Trigger() {
    if (!CButtonUI::Trigger()) return false;
    Select(m_groupName.IsEmpty() ? !m_selected : true);
    return true;
}

void COptionUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    if (name == L"group") {
        SetGroupName(CUIString(value));
    } else if (name == L"selected") {
        Select(ParseBool(value));
    } else if (name == L"selectedimage") {
        m_selectedImage = CUIString(value);
        Repaint();
    } else if (name == L"selectedhotimage") {
        m_selectedHotImage = CUIString(value);
        Repaint();
    } else if (name == L"selectedtextcolor") {
        if (ParseColor(value, &color)) {
            m_selectedTextColor = color;
            Repaint();
        }
    } else {
        CButtonUI::ApplyAttribute(name, value);
    }
}

const CUIString& COptionUI::CurrentStateImage() const {
    if (m_selected && IsUsable()) {
        if ((m_buttonState & kButtonHot) != 0 && !m_selectedHotImage.IsEmpty()) return m_selectedHotImage;
        if (!m_selectedImage.IsEmpty()) return m_selectedImage;
    }
    return CButtonUI::CurrentStateImage();
}

DWORD COptionUI::CurrentTextColor() const {
    if (m_selected && IsUsable() && m_selectedTextColor != 0) return m_selectedTextColor;
    return CButtonUI::CurrentTextColor();
}

}  // namespace SkinUI
