// The list control: a vertical layout of a column header (child 0) over a scrolling body
// (child 1) that holds the rows. It keeps one selected and one expanded row, moves the
// selection with the keyboard (and, with "scrollselect", the wheel), scrolls its body smoothly
// on the wheel, copies the header's column rectangles into its UIListStyle, and forwards the
// container's scrolling vocabulary to the body.
//
// UI thread only. The list owns its header and body as children, and the body owns the rows.
// Rows are given to the list (its IContainerUI part), which routes headers, header items and
// rows to where they belong, numbers the rows and keeps the selected and expanded indexes in
// step with insertions, moves and removals. A row that leaves the list loses its owner, so a
// row removed from its own handler never reaches the list again. "itemselect" is raised
// synchronously; its receivers may change the list.
#pragma once

#include "ui/controls/ListInterfaces.h"
#include "ui/core/VerticalLayoutUI.h"

namespace SkinUI {

class CListBodyUI;
class CListHeaderUI;

class CListUI : public CVerticalLayoutUI, public IListUI {
public:
    // The control timer of smooth scrolling.
    static constexpr UINT_PTR kSmoothScrollTimerId = 10;
    static constexpr UINT kSmoothScrollIntervalMs = 20;

    CListUI();
    ~CListUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    void SetBounds(const RECT& bounds) override;
    void HandleEvent(UIEventRecord& event) override;
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    // --- passed to the body ---
    int GetChildGap() const override;
    void SetChildGap(int gap) override;
    SIZE GetScrollOffset() const override;
    SIZE GetScrollExtent() const override;
    void ScrollTo(SIZE offset) override;
    void SetScrollBarThickness(int horizontalHeight, int verticalWidth) override;
    void ScrollLineUp() override;
    void ScrollLineDown() override;
    void ScrollPageUp() override;
    void ScrollPageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void ScrollLineLeft() override;
    void ScrollLineRight() override;
    void ScrollPageLeft() override;
    void ScrollPageRight() override;
    void ScrollToLeftEnd() override;
    void ScrollToRightEnd() override;
    void ConfigureScrollBars(bool vertical, bool horizontal) override;
    CScrollBarUI* GetVScrollBar() const override;
    CScrollBarUI* GetHScrollBar() const override;

    // --- IContainerUI: rows are the body's children ---
    CControlUI* GetChildAt(int index) const override;
    int IndexOfChild(CControlUI* control) const override;
    bool MoveChildTo(CControlUI* control, int index) override;
    int ChildCount() const override;
    bool AppendChild(CControlUI* control) override;
    bool InsertChildAt(CControlUI* control, int index) override;
    bool RemoveChild(CControlUI* control) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren() override;

    // --- IListUI ---
    UIListStyle* GetListStyle() override { return &m_style; }
    int GetSelectedIndex() const override { return m_selected; }
    bool SelectItem(int index, bool takeFocus = false) override;
    void HandleItemEvent(UIEventRecord& event) override;
    CListHeaderUI* GetHeaderControl() const override { return m_header; }
    CListBodyUI* GetBodyContainer() const override { return m_body; }
    IListTextProvider* GetTextProvider() const override { return m_textProvider; }
    void SetTextProvider(IListTextProvider* provider) override { m_textProvider = provider; }
    bool ExpandItem(int index, bool expand = true) override;
    int GetExpandedIndex() const override { return m_expanded; }

    // Scrolls the body so that the row at `index` lies inside its visible band; nothing while
    // no row is selected.
    void ScrollRowIntoView(int index);
    bool ScrollSelects() const { return m_scrollSelect; }
    bool ScrollsSmoothly() const { return m_delayScroll; }
    // Pixels the running smooth scroll still has to travel (positive toward the top), 0 when idle.
    int SmoothScrollAmount() const { return m_wheelAmount; }

private:
    enum class ChildKind { Header, HeaderItem, Row };
    ChildKind KindOf(CControlUI* control) const;
    bool AddHeader(CControlUI* header);
    void UpdateColumnCount();
    // Moves the shown header items left by `shift` and copies their rectangles into the style.
    void PlaceColumns(int shift);
    void RenumberRows(int from, int to);
    // The row at `index` as a list item, or null.
    IListItemUI* RowAt(int index) const;
    void ForgetRow(CControlUI* control);
    void AdoptSelection(IListItemUI* row);
    // Keeps the selected and expanded indexes on their rows after a row left `index`.
    void RowRemovedAt(int index);
    void SelectAndReveal(int index);
    void OnSmoothWheel(UIWheelTurn turn);
    void OnSmoothTick();
    void StopSmoothScroll();
    int SmoothStep() const;

    bool m_scrollSelect = false;
    int m_selected = -1;
    int m_expanded = -1;
    IListTextProvider* m_textProvider = nullptr;
    CListBodyUI* m_body = nullptr;
    CListHeaderUI* m_header = nullptr;
    UIListStyle m_style;
    int m_wheelAmount = 0;
    unsigned m_totalSteps = 0;
    unsigned m_remainingSteps = 0;
    bool m_delayScroll = true;
};

}  // namespace SkinUI
