// List rows that are plain controls: the shared base CListElementUI and the label row
// CListLabelElementUI, which shows one text. A row draws itself with its owner's UIListStyle,
// tells the owner when it becomes selected, raises "itemclick" on a press and "itemactivate"
// on a double click or Enter, and hands the input it does not use to the owner, which moves
// the selection by keyboard and wheel.
//
// UI thread only. A row belongs to the container it sits in (a list's body) and keeps a plain
// pointer to its owner, which the owner clears when the row leaves it. Notifications are raised
// synchronously; a receiver may remove the row, which the paint manager then frees only after
// the event that raised them.
#pragma once

#include "ui/controls/ListInterfaces.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

class CListElementUI : public CControlUI, public IListItemUI {
public:
    // Bit of the state: the mouse is over the row.
    static constexpr UINT kStateHot = 0x08;

    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    bool Trigger() override;
    void Show(bool show) override;
    void SetUsable(bool usable) override;
    // Only the part of the row inside its parent's client area and every ancestor.
    void Repaint() override;
    // Adds "selected", which selects the row whatever its value.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
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

    UINT GetState() const { return m_state; }

    // Shared with the container row, which is a container and so cannot derive from this class.
    // Repaints the part of `row` inside its parent's client area and every ancestor.
    static void RepaintClipped(CControlUI& row);
    // The row's background by the owner's style: colour, state image or background image, line.
    // `backImage` is the row's own "bkimage", emptied when it cannot be drawn.
    static void DrawRowBackground(CControlUI& row, HDC hdc, IListOwnerUI& owner, int index, bool selected, bool hot,
                                  CUIString& backImage);
    // The text colour for the row's state, later rules winning: normal, hot, selected, disabled.
    static DWORD RowTextColor(const CControlUI& row, const UIListStyle& style, bool selected, bool hot);
    // The selection rule of every row: a row that cannot be used cannot be selected; selecting
    // tells the owner, and a refusal by the owner leaves the row unselected.
    static bool SelectRow(CControlUI& row, bool select, bool& selected, IListOwnerUI* owner, int index);
    // A selected row that is no longer shown gives up the selection and tells its owner.
    static void DropSelectionIfHidden(CControlUI& row, bool& selected, IListOwnerUI* owner);
    // "itemactivate", after the base's check that the row is shown and usable.
    static bool ActivateRow(CControlUI& row);
    static IListOwnerUI* OwnerFacetOf(CControlUI* owner);

protected:
    // Double click and Enter activate; everything else goes to the owner.
    void HandleSharedEvent(UIEventRecord& event);
    void DrawItemBackground(HDC hdc);

    int m_index = -1;
    bool m_selected = false;
    UINT m_state = 0;
    IListOwnerUI* m_owner = nullptr;
};

class CListLabelElementUI : public CListElementUI {
public:
    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    void HandleEvent(UIEventRecord& event) override;
    // (0, 0) without an owner; else the preset size, a zero height becoming one line of the
    // style's font and a zero width the text's own width, each with the text padding.
    SIZE MeasureDesired(SIZE available) override;
    void DrawItemText(HDC hdc, const RECT& rect) override;
};

}  // namespace SkinUI
