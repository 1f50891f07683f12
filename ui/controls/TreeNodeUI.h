// A node of a tree view: a container row that builds its own parts in one row layout (an
// indentation line, a fold button, a check box and an item button that shows the text) and
// keeps links to its parent node and its child nodes. Every node of a tree is a row of the tree
// view; the child links only say which rows form its subtree.
//
// UI thread only. The node owns its row layout and the parts as any container; it never owns
// its child nodes, which belong to the tree view's body as rows (or, before the node joins a
// tree, to whoever built them). The links are plain pointers that the nodes keep in step: a
// node that dies unlinks itself from its parent node and leaves its children without a parent,
// so no node is ever left pointing at a freed one. The tree view pointer is set when the node
// joins a tree and never owns the tree.
#pragma once

#include "ui/controls/ListContainerElementUI.h"
#include "ui/core/UIPtrArray.h"

namespace SkinUI {

class CCheckBoxUI;
class CHorizontalLayoutUI;
class CLabelUI;
class COptionUI;
class CTreeViewUI;

class CTreeNodeUI : public CListContainerElementUI {
public:
    // What each level of depth adds to the indentation line.
    static constexpr int kIndentStep = 16;

    CTreeNodeUI();
    ~CTreeNodeUI() override;

    // The control as a node, or null: nodes are told apart from other controls by their class
    // tag, whatever its case.
    static CTreeNodeUI* TaggedNode(CControlUI* control);

    const wchar_t* GetClassTag() const override;
    // "TreeNode", then the container row's facets.
    void* QueryFacet(std::wstring_view name) override;
    void HandleEvent(UIEventRecord& event) override;
    // "text", the part attribute lists ("horizattr", "dotlineattr", "folderattr",
    // "checkboxattr", "itemattr") and the item text colours; else the container row's.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;

    // --- IContainerUI: nodes become child nodes, other controls ordinary children ---
    bool AppendChild(CControlUI* control) override;
    // Only nodes; `index` is a position among the child nodes.
    bool InsertChildAt(CControlUI* control, int index) override;
    // Only child nodes: the child's own subtree goes first (the deepest nodes first), and in a
    // tree view the rows with it. Outside a tree view the child is only unlinked and the caller
    // owns it.
    bool RemoveChild(CControlUI* control) override;

    // --- IListItemUI ---
    // The row's selection, then the item button's text colour for the new state.
    bool Select(bool select = true) override;

    // --- the node's own operations ---
    CUIString GetItemText() const;
    // A copy of the direct child nodes, in order.
    CUIPtrArray GetTreeNodes() const { return m_childNodes; }
    int ChildNodeCount() const { return m_childNodes.Count(); }
    // Null when `index` names no child node.
    CTreeNodeUI* GetChildNode(int index) const;
    // The node's row in its tree view, or -1 (no tree view, or not a row of it).
    int GetTreeIndex() const;
    // The last node of the subtree in depth-first order (the node itself without children).
    CTreeNodeUI* GetLastNode();
    // Makes `child` a child of this node as far as the child knows it: one level deeper, in
    // the option group of this node's item button, in this node's tree view.
    void PlaceChildNode(CTreeNodeUI* child);
    // Appends `child` to the child nodes; in a tree view it also becomes a row at the end of
    // this node's subtree. False (nothing recorded) when the tree refuses the row.
    bool AddChildNode(CTreeNodeUI* child);

    // Takes `child` out of the child nodes without touching its rows.
    void ForgetChildNode(CTreeNodeUI* child) { UnlinkChildNode(child); }

    CTreeNodeUI* GetParentNode() const { return m_parentNode; }
    CTreeViewUI* GetTreeView() const { return m_treeView; }
    void SetTreeView(CTreeViewUI* treeView) { m_treeView = treeView; }
    // False once the tree view folded the node; nothing in the tree reads it.
    bool IsUnfolded() const { return m_unfolded; }
    void SetUnfolded(bool unfolded) { m_unfolded = unfolded; }
    // Selected means folded: the child nodes are hidden.
    bool IsFolded() const;

    CHorizontalLayoutUI* GetRowLayout() const { return m_rowLayout; }
    CCheckBoxUI* GetFolderButton() const { return m_folderButton; }
    CLabelUI* GetDotLine() const { return m_dotLine; }
    CCheckBoxUI* GetCheckBox() const { return m_checkBox; }
    COptionUI* GetItemButton() const { return m_itemButton; }

    // The item button's colour outside hover and selection; also set on the button at once.
    void SetItemTextColor(DWORD argb);
    void SetItemHotTextColor(DWORD argb);
    void SetSelItemTextColor(DWORD argb);
    void SetSelItemHotTextColor(DWORD argb);
    DWORD GetItemTextColor() const { return m_itemTextColor; }

private:
    int ChildNodeIndex(const CTreeNodeUI* child) const;
    void UnlinkChildNode(CTreeNodeUI* child);
    // The item button's colour while the mouse is over the node (entering) or not (leaving).
    void ApplyHoverColor(bool hot);

    bool m_unfolded = true;
    DWORD m_itemTextColor = 0;
    DWORD m_itemHotTextColor = 0;
    DWORD m_selItemTextColor = 0;
    DWORD m_selItemHotTextColor = 0;
    CTreeViewUI* m_treeView = nullptr;
    CHorizontalLayoutUI* m_rowLayout = nullptr;
    CCheckBoxUI* m_folderButton = nullptr;
    CLabelUI* m_dotLine = nullptr;
    CCheckBoxUI* m_checkBox = nullptr;
    COptionUI* m_itemButton = nullptr;
    CTreeNodeUI* m_parentNode = nullptr;
    CUIPtrArray m_childNodes;
};

}  // namespace SkinUI
