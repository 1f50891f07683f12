// What every list row does, whatever control it is built on: its index, selection and owner,
// its hot state, activation, repaints clipped to the list, and the background the owner's
// UIListStyle gives it. The label row builds it on a plain control (CListElementUI), the
// container row on a container (CListContainerElementUI).
//
// UI thread only. A row belongs to the container it sits in (a list's body) and keeps a plain
// pointer to its owner, which the owner clears when the row leaves it.
#pragma once

#include "ui/controls/ListInterfaces.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

template <class Base>
class CListRowUI : public Base, public IListItemUI {
public:
    // Bit of the state: the mouse is over the row.
    static constexpr UINT kStateHot = 0x08;

    // "ListItem", then the base's facets.
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    // "itemactivate", after the base's check that the row is shown and usable.
    bool Trigger() override;
    // A selected row that is no longer shown gives up the selection and tells its owner.
    void Show(bool show) override;
    void SetUsable(bool usable) override;
    // Only the part of the row inside its parent's client area and every ancestor.
    void Repaint() override;
    // Adds "selected", which selects the row whatever its value.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    // --- IListItemUI ---
    int GetItemIndex() const override { return m_index; }
    void SetItemIndex(int index) override { m_index = index; }
    IListOwnerUI* GetOwner() const override { return m_owner; }
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override { return m_selected; }
    // A row that cannot be used cannot be selected; selecting tells the owner, and a refusal by
    // the owner leaves the row unselected.
    bool Select(bool select = true) override;
    bool IsExpanded() const override { return false; }
    bool Expand(bool /*expand*/ = true) override { return false; }

    UINT GetState() const { return m_state; }

protected:
    // The background by the owner's style: colour, state image or background image, line. The
    // row's own "bkimage" is emptied when it cannot be drawn. Nothing without an owner.
    void DrawRowBackground(HDC hdc);
    // The text colour for the row's state, later rules winning: normal, hot, selected, disabled.
    DWORD RowTextColor(const UIListStyle& style) const;

    int m_index = -1;
    bool m_selected = false;
    UINT m_state = 0;
    IListOwnerUI* m_owner = nullptr;
};

}  // namespace SkinUI
