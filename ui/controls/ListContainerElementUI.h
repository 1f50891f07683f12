// A list row that is a container of other controls. With as many children as its list has
// columns it puts child i in column i; otherwise it lays them out as a plain container. Besides
// "itemclick" and "itemactivate" it raises "itemdbclick" on a double click, and "itemhover" and
// "itemleave" as the mouse comes and goes.
//
// UI thread only. The row owns its children as any container; the row itself belongs to the
// container it sits in and keeps a plain pointer to its owner, as every row.
#pragma once

#include "ui/controls/ListRowUI.h"
#include "ui/core/ContainerUI.h"

namespace SkinUI {

extern template class CListRowUI<CContainerUI>;

class CListContainerElementUI : public CListRowUI<CContainerUI> {
public:
    const wchar_t* GetClassTag() const override;
    // "ListContainerElement", then the row's facets.
    void* QueryFacet(std::wstring_view name) override;
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    SIZE MeasureDesired(SIZE available) override;
    bool Render(HDC hdc, const RECT& paintRect) override;

    // --- IListItemUI ---
    void DrawItemText(HDC /*hdc*/, const RECT& /*rect*/) override {}
};

}  // namespace SkinUI
