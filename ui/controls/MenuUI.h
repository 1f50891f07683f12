// A list for menus: no header, only rows that answer the facet "MenuElement", the menu
// elements nested inside such a row kept out of view, and a desired size that fits its shown
// rows.
//
// UI thread only; ownership as for CListUI. No row class of this program answers
// "MenuElement"; the menu takes such rows when they are supplied.
#pragma once

#include "ui/controls/ListUI.h"

namespace SkinUI {

class CMenuUI : public CListUI {
public:
    CMenuUI();

    const wchar_t* GetClassTag() const override;
    // "Menu" in any case, then the list's facets.
    void* QueryFacet(std::wstring_view name) override;
    // The widest and the summed height of the shown rows.
    SIZE MeasureDesired(SIZE available) override;
    // Visibility passed down the tree would show the nested menu elements again: they are
    // hidden once more afterwards.
    void Show(bool show) override;
    void SetShownByParent(bool shown) override;

    // Controls without "MenuElement" are refused (-1 for IndexOfChild).
    int IndexOfChild(CControlUI* control) const override;
    bool MoveChildTo(CControlUI* control, int index) override;
    bool AppendChild(CControlUI* control) override;
    bool InsertChildAt(CControlUI* control, int index) override;
    bool RemoveChild(CControlUI* control) override;

private:
    static bool IsMenuElement(CControlUI* control);
    // Hides the menu elements among the element's own children.
    static void HideNestedElements(CControlUI* element);
    void HideAllNestedElements();
};

}  // namespace SkinUI
