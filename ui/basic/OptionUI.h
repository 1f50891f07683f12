// An option button: a button with a selected state and its own selected image and text
// colour. Options of one window that share a group name form a group in which selecting one
// unselects the others; an option without a group toggles on each click.
//
// UI thread only. A group is the set of options with that name in the tree of the option's
// paint manager, found when needed; so an option that is not attached has no group partners.
// "selectchanged" (wParam 0, lParam 0) is raised synchronously; its receivers run before the
// rest of the group is repainted.
#pragma once

#include "ui/basic/ButtonUI.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    // Does nothing when unchanged. Selecting within a group unselects the other members
    // (without notifications from them); "selectchanged" follows, except when an option is
    // unselected within a group.
    void Select(bool select);
    bool IsSelected() const { return m_selected; }
    const CUIString& GetGroupName() const { return m_groupName; }
    // Leaves the old group and joins the named one (empty: none).
    void SetGroupName(const CUIString& name);

    // "click", then selects the option (in a group) or toggles it (without one).
    bool Trigger() override;
    // Adds "group", "selected", "selectedimage", "selectedhotimage", "selectedtextcolor".
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    const CUIString& CurrentStateImage() const override;
    DWORD CurrentTextColor() const override;

    bool m_selected = false;
    CUIString m_groupName;
    CUIString m_selectedImage;
    CUIString m_selectedHotImage;
    DWORD m_selectedTextColor = 0;
};

}  // namespace SkinUI
