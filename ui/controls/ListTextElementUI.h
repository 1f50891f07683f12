// A list row with one text per column of its list, drawn in the list's column rectangles, with
// clickable links ({a}...{/a} mark-up, at most kMaxLinks over all columns). The texts come
// from the list's text provider, else from the row's own column texts.
//
// UI thread only; ownership as for every row. The row keeps its owner's "IList" facet as its
// list; a row without a list draws no text and measures no height. Releasing the button over a
// link raises "link" with the link's index as wParam.
#pragma once

#include "ui/controls/ListElementUI.h"
#include "ui/core/UIPtrArray.h"

namespace SkinUI {

class CListTextElementUI : public CListLabelElementUI {
public:
    static constexpr int kMaxLinks = 8;

    CListTextElementUI() = default;
    ~CListTextElementUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    UINT GetBehaviourFlags() const override;
    void HandleEvent(UIEventRecord& event) override;
    // The preset size; a zero height becomes one line of the style's font with the padding. The
    // width is never measured.
    SIZE MeasureDesired(SIZE available) override;
    void SetOwner(CControlUI* owner) override;
    void DrawItemText(HDC hdc, const RECT& rect) override;

    // The row's own text of a column, used while the list has no text provider.
    void SetColumnText(int column, const CUIString& text);
    CUIString GetColumnText(int column) const;

    int LinkCount() const { return m_linkCount; }
    const RECT& LinkRect(int index) const { return m_linkRects[index]; }
    int HotLink() const { return m_hotLink; }

private:
    int LinkAt(POINT pt) const;

    int m_linkCount = 0;
    RECT m_linkRects[kMaxLinks]{};
    CUIString m_linkTexts[kMaxLinks];
    int m_hotLink = -1;
    IListUI* m_list = nullptr;
    CUIPtrArray m_columnTexts;  // CUIString*, owned; null for a column never set
};

}  // namespace SkinUI
