// A list row that is a container of other controls. With as many children as its list has
// columns it puts child i in column i; otherwise it lays them out as a plain container. Besides
// "itemclick" and "itemactivate" it raises "itemdbclick" on a double click, and "itemhover" and
// "itemleave" as the mouse comes and goes.
//
// UI thread only. The row owns its children as any container; the row itself belongs to the
// container it sits in and keeps a plain pointer to its owner, as every row.
#pragma once

#include "ui/controls/ListInterfaces.h"
#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CListContainerElementUI : public CContainerUI, public IListItemUI {
public:
    static constexpr UINT kStateHot = 0x08;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    bool Trigger() override;
    void SetBounds(const RECT& bounds) override;
    void Show(bool show) override;
    void SetUsable(bool usable) override;
    void Repaint() override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    SIZE MeasureDesired(SIZE available) override;
    bool Render(HDC hdc, const RECT& paintRect) override;

    // --- IListItemUI ---
    int GetItemIndex() const override { return m_index; }
    void SetItemIndex(int index) override { m_index = index; }
    IListOwnerUI* GetOwner() const override { return m_owner; }
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override { return m_selected; }
    bool Select(bool select = true) override;
    bool IsExpanded() const override { return false; }
    bool Expand(bool /*expand*/ = true) override { return false; }
    void DrawItemText(HDC /*hdc*/, const RECT& /*rect*/) override {}

    UINT GetState() const { return m_state; }

protected:
    int m_index = -1;
    bool m_selected = false;
    UINT m_state = 0;
    IListOwnerUI* m_owner = nullptr;
};

}  // namespace SkinUI
