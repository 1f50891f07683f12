// The scrolling part of a list that holds the rows. It lays every row out as wide as the
// list's header, so rows span all columns; a horizontal scroll moves the header's items and
// the list's column rectangles with the rows; and it hands all its input to the list.
//
// UI thread only. Made and owned by its list (never from skin XML); it owns its rows. Its scroll
// bars are the truth of its scroll position and range: a missing or hidden bar scrolls nothing.
#pragma once

#include "ui/core/VerticalLayoutUI.h"

namespace SkinUI {

class CListUI;

class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* owner) : m_owner(owner) {}

    CListUI* GetOwnerList() const { return m_owner; }

    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    SIZE GetScrollOffset() const override;
    SIZE GetScrollExtent() const override;
    // Moves the rows (and, horizontally, the header items and column rectangles) by the change
    // the bars allow; nothing moves or repaints when the bars allow none.
    void ScrollTo(SIZE offset) override;

private:
    // One layout of the rows at the bars' current positions; returns those positions.
    SIZE PlaceRows();

    CListUI* m_owner;
};

}  // namespace SkinUI
