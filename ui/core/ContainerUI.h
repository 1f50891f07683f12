// Containers: controls that hold, lay out, scroll and paint child controls.
//
// UI thread only. A container that owns its children (the default) deletes them when they are
// removed and when it is destroyed; removal while its manager is dispatching goes through the
// manager's delayed-delete list, so a child may remove itself from an event handler. A
// container that does not own its children only unlinks them, and only those whose parent
// link still points at it.
// The scroll position and range live in the container (a subclass may keep them in its bars
// instead and answer GetScrollOffset and GetScrollExtent from there); the scroll bar
// controls, when present, show them: ConfigureScrollBars creates and deletes the
// CScrollBarUI bars, which the container owns, and a bar is shown only while its axis has
// something to scroll.
#pragma once

#include <utility>
#include <vector>

#include "ui/core/ControlUI.h"
#include "ui/core/UIPtrArray.h"

namespace SkinUI {

class CScrollBarUI;

// The child list operations of a container, reachable through the "IContainer" facet.
class IContainerUI {
public:
    virtual CControlUI* GetChildAt(int index) const = 0;
    virtual int IndexOfChild(CControlUI* control) const = 0;
    virtual bool MoveChildTo(CControlUI* control, int index) = 0;
    virtual int ChildCount() const = 0;
    // Attaches the child to this container's manager and asks for a new layout. A refused
    // child stays with the caller.
    virtual bool AppendChild(CControlUI* control) = 0;
    virtual bool InsertChildAt(CControlUI* control, int index) = 0;
    virtual bool RemoveChild(CControlUI* control) = 0;
    virtual bool RemoveChildAt(int index) = 0;
    virtual void RemoveAllChildren() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;

    // --- IContainerUI ---
    CControlUI* GetChildAt(int index) const override;
    int IndexOfChild(CControlUI* control) const override;
    bool MoveChildTo(CControlUI* control, int index) override;
    int ChildCount() const override;
    bool AppendChild(CControlUI* control) override;
    bool InsertChildAt(CControlUI* control, int index) override;
    bool RemoveChild(CControlUI* control) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren() override;

    bool OwnsChildren() const { return m_ownsChildren; }
    void SetOwnsChildren(bool owns) { m_ownsChildren = owns; }
    // Whether the children take mouse events ("mousechild").
    bool ChildrenAcceptMouse() const { return m_mouseChildren; }
    void SetChildrenAcceptMouse(bool accept) { m_mouseChildren = accept; }

    // Virtual, so a container that lays its children out in an inner one can pass these on.
    virtual RECT GetContentInset() const { return m_inset; }
    virtual void SetContentInset(const RECT& inset);
    virtual int GetChildGap() const { return m_childGap; }
    virtual void SetChildGap(int gap);

    // The first index from `index` (clamped to the children) whose child is a shown, usable
    // list item, searching forward or backward; a backward search that finds none goes on
    // forward from 0. -1 when there is none.
    int NextSelectableIndex(int index, bool forward) const;

    // --- control slots ---
    void AttachManager(CUIPaintManager* manager, CControlUI* parent, bool initialise = true) override;
    CControlUI* FindControl(FindProc proc, void* data, UINT flags) override;
    void Show(bool show) override;
    void SetShownByParent(bool shown) override;
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    bool Render(HDC hdc, const RECT& paintRect) override;

    // Lays out the floating child at `index` inside the client area from its anchors, float
    // offsets and preset size.
    void PlaceFloatingChild(int index);
    // Takes `rect` as the floating child's place: its float offsets from the anchors (and its
    // preset size on an axis whose anchors are equal) are set so the next placement gives it.
    void AdoptFloatingPlace(CControlUI* child, const RECT& rect);

    // --- scrolling ---
    virtual SIZE GetScrollOffset() const;
    virtual SIZE GetScrollExtent() const;
    // Clamps to the range and moves the children by the change.
    virtual void ScrollTo(SIZE offset);
    virtual void ScrollLineUp();
    virtual void ScrollLineDown();
    virtual void ScrollPageUp();
    virtual void ScrollPageDown();
    virtual void ScrollToTop();
    virtual void ScrollToBottom();
    virtual void ScrollLineLeft();
    virtual void ScrollLineRight();
    virtual void ScrollPageLeft();
    virtual void ScrollPageRight();
    virtual void ScrollToLeftEnd();
    virtual void ScrollToRightEnd();

    // Whether the container scrolls vertically and horizontally; creates or deletes the bars.
    virtual void ConfigureScrollBars(bool vertical, bool horizontal);
    bool ScrollsVertically() const { return m_vScrollEnabled; }
    bool ScrollsHorizontally() const { return m_hScrollEnabled; }
    virtual CScrollBarUI* GetVScrollBar() const;
    virtual CScrollBarUI* GetHScrollBar() const;
    // Horizontal bar height and vertical bar width.
    virtual void SetScrollBarThickness(int horizontalHeight, int verticalWidth);
    int GetHScrollBarHeight() const { return m_hScrollThickness; }
    int GetVScrollBarWidth() const { return m_vScrollThickness; }
    // Fits the scroll range to the needed size of the content laid out in `client`.
    virtual void UpdateScrollBars(const RECT& client, int neededWidth, int neededHeight);

protected:
    // The container's own child list, whatever the IContainerUI part of a subclass routes to.
    CControlUI* OwnChildAt(int index) const { return static_cast<CControlUI*>(m_items.ItemAt(index)); }
    // The bounds less the inset: where the children are placed.
    RECT ClientArea() const;
    // Removes the entry and deletes the child when owned.
    void DropChild(CControlUI* control);
    int ScrollLineStep() const;
    // Moves every shown child that does not float by a scroll of (dx, dy): left and up.
    void ShiftChildren(int dx, int dy);
    // Sizes for the children that have none, from their (floor, ceiling) pairs: `rest` is
    // shared evenly; a child whose limit the share breaks takes its limit and the others
    // share what is left; the last one takes the remainder of the division.
    static std::vector<int> ShareRest(int rest, const std::vector<std::pair<int, int>>& limits);

    CUIPtrArray m_items;
    RECT m_inset{};
    int m_childGap = 0;
    bool m_ownsChildren = true;
    bool m_mouseChildren = true;
    bool m_vScrollEnabled = false;
    bool m_hScrollEnabled = false;
    int m_vScrollThickness = 0;
    int m_hScrollThickness = 0;
    CUIString m_vScrollStyle;
    CUIString m_hScrollStyle;
    SIZE m_scrollOffset{};
    SIZE m_scrollExtent{};
    CScrollBarUI* m_vScrollBar = nullptr;
    CScrollBarUI* m_hScrollBar = nullptr;
};

}  // namespace SkinUI
