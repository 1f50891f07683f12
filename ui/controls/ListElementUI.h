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

#include "ui/controls/ListRowUI.h"

namespace SkinUI {

extern template class CListRowUI<CControlUI>;

class CListElementUI : public CListRowUI<CControlUI> {
public:
    // "ListElement", then the row's facets.
    void* QueryFacet(std::wstring_view name) override;
    bool Render(HDC hdc, const RECT& paintRect) override;

protected:
    // Double click and Enter activate; everything else goes to the owner.
    void HandleSharedEvent(UIEventRecord& event);
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
