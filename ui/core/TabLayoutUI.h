// A container that shows one child (page) at a time, each page filling the client area.
//
// UI thread only; ownership of children as in CContainerUI. A page appended while another is
// current is hidden; removing the current page shows the one that takes its place.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    bool InsertChildAt(CControlUI* control, int index) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren() override;
    bool MoveChildTo(CControlUI* control, int index) override;
    // Adds "selectedid" (the page shown first).
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    // Shows page `index` and hides the others; false (nothing changed) outside the pages.
    bool ShowPage(int index);
    // -1 when there is no page.
    int CurrentPage() const { return m_currentPage; }

private:
    int m_currentPage = -1;
};

}  // namespace SkinUI
