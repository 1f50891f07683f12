// A tree: a list without a header whose rows are tree nodes, kept as one flat run in
// depth-first order, each level indented by CTreeNodeUI::kIndentStep. The fold button and a
// double click fold or unfold a node's subtree (a folded branch keeps its children hidden when
// its parent unfolds), and checking a node's check box checks its whole subtree.
//
// UI thread only. The tree owns its nodes as the list owns its rows. It reacts to its nodes
// through delegates on their notify sources ("itemdbclick" of the node, "selectchanged" of the
// fold button and the check box), which call its virtual handlers; the delegates point at the
// tree, and the nodes that hold them die with it. Adding a node adds its whole subtree as
// rows; removing one removes its subtree first and unlinks it from its parent node.
#pragma once

#include <functional>

#include "ui/controls/ListUI.h"
#include "ui/core/DialogBuilder.h"

namespace SkinUI {

class CTreeNodeUI;

class CTreeViewUI : public CListUI, public ITreeViewUI, public INotifyUI {
public:
    CTreeViewUI();

    const wchar_t* GetClassTag() const override;
    // "TreeView" gives the part that takes nodes (ITreeViewUI); then the list's facets.
    void* QueryFacet(std::wstring_view name) override;
    // "visiblefolderbtn", "visiblecheckbtn", "itemminwidth" and the node text colours, before
    // the list's own vocabulary.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    // --- IContainerUI ---
    // A node leaves with its subtree, as RemoveNode does.
    bool RemoveChild(CControlUI* control) override;
    // False when there is no row at `index`.
    bool RemoveChildAt(int index) override;

    void Notify(UINotifyMsg& /*msg*/) override {}

    // Appends the node and its subtree, depth-first, as rows. False for anything that is not
    // a tree node and for a node the list refuses.
    bool AddNode(CControlUI* node) override;
    // Inserts the node and its subtree in front of `anchor`'s row.
    virtual bool AddNodeBefore(CTreeNodeUI* node, CTreeNodeUI* anchor);
    // Inserts the node and its subtree, depth-first, as rows from `index` (which may be the row
    // count, to append); returns the index after the last row inserted, or -1 when nothing was.
    virtual int AddNodeAt(CTreeNodeUI* node, int index);
    // Unlinks the node from its parent node, removes its subtree and then its row, which the
    // list deletes.
    virtual bool RemoveNode(CTreeNodeUI* node);

    // Delegate targets; the parameter is the notification record.
    virtual bool OnCheckBoxChanged(void* param);
    virtual bool OnFolderChanged(void* param);
    virtual bool OnItemDoubleClick(void* param);

    // Selects or clears the check boxes of the node's subtree (the node's own is left as it
    // is), or of every row for null.
    virtual bool SetItemCheckBox(bool checked, CTreeNodeUI* node);
    // Shows or hides the node's child nodes (every row for null); unfolded children pass it on.
    virtual void SetItemExpand(bool expanded, CTreeNodeUI* node);
    virtual void SetVisibleFolderBtn(bool visible);
    virtual bool GetVisibleFolderBtn() const { return m_visibleFolderButton; }
    virtual void SetVisibleCheckBtn(bool visible);
    virtual bool GetVisibleCheckBtn() const { return m_visibleCheckBox; }
    // Every row's width floor; 0 means none.
    virtual void SetItemMinWidth(UINT width);
    virtual UINT GetItemMinWidth() const { return m_itemMinWidth; }
    virtual void SetItemTextColor(DWORD argb);
    virtual void SetItemHotTextColor(DWORD argb);
    virtual void SetSelItemTextColor(DWORD argb);
    virtual void SetSelItemHotTextColor(DWORD argb);

private:
    // The node whose part raised `msg` (the part's row layout's node), or null.
    static CTreeNodeUI* NodeOfPart(const UINotifyMsg& msg);
    // The delegates and the part visibility every new row gets.
    void PrepareRow(CTreeNodeUI* node);
    // Calls `apply` with each child node of `node`, or with each row that is a node for null.
    void ForEachNodeUnder(CTreeNodeUI* node, const std::function<void(CTreeNodeUI*)>& apply);

    UINT m_itemMinWidth = 0;
    bool m_visibleFolderButton = true;
    bool m_visibleCheckBox = false;
};

}  // namespace SkinUI
