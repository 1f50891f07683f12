// A check box: an option that is normally used without a group, so each click toggles it.
//
// UI thread only; as COptionUI.
#pragma once

#include "ui/basic/OptionUI.h"

namespace SkinUI {

class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    void SetCheck(bool checked) { Select(checked); }
    bool GetCheck() const { return IsSelected(); }
};

}  // namespace SkinUI
