#include "ui/controls/TreeViewUI.h"

#include <algorithm>
#include <functional>

#include "ui/basic/CheckBoxUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/TreeNodeUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/Delegate.h"

namespace SkinUI {

CTreeViewUI::CTreeViewUI() {
    GetHeaderControl()->Show(false);
}

const wchar_t* CTreeViewUI::GetClassTag() const {
    return L"TreeViewUI";
}

void* CTreeViewUI::QueryFacet(std::wstring_view name) {
    if (name == L"TreeView") return static_cast<ITreeViewUI*>(this);
    return CListUI::QueryFacet(name);
}

CTreeNodeUI* CTreeViewUI::NodeOfPart(const UINotifyMsg& msg) {
    CControlUI* layout = msg.sender != nullptr ? msg.sender->GetParentControl() : nullptr;
    CControlUI* parent = layout != nullptr ? layout->GetParentControl() : nullptr;
    return parent != nullptr ? static_cast<CTreeNodeUI*>(parent->QueryFacet(L"TreeNode")) : nullptr;
}

void CTreeViewUI::PrepareRow(CTreeNodeUI* node) {
    node->GetNotifySource() += MakeDelegate(this, &CTreeViewUI::OnItemDoubleClick);
    node->GetFolderButton()->GetNotifySource() += MakeDelegate(this, &CTreeViewUI::OnFolderChanged);
    node->GetCheckBox()->GetNotifySource() += MakeDelegate(this, &CTreeViewUI::OnCheckBoxChanged);
    node->GetFolderButton()->Show(m_visibleFolderButton);
    node->GetCheckBox()->Show(m_visibleCheckBox);
    if (m_itemMinWidth > 0) node->SetWidthFloor(static_cast<int>(std::min<UINT>(m_itemMinWidth, kGeometryLimit)));
}

bool CTreeViewUI::AddNode(CControlUI* control) {
    CTreeNodeUI* node = CTreeNodeUI::TaggedNode(control);
    // A node that is a row already would get its handlers twice.
    if (node == nullptr || IndexOfChild(node) >= 0) return false;
    PrepareRow(node);
    if (!CListUI::AppendChild(node)) return false;
    // Its subtree follows it, depth-first.
    const int count = node->ChildNodeCount();
    for (int i = 0; i < count; ++i) {
        if (CTreeNodeUI* child = node->GetChildNode(i)) AddNode(child);
    }
    node->SetTreeView(this);
    return true;
}

int CTreeViewUI::AddNodeAt(CTreeNodeUI* node, int index) {
    if (CTreeNodeUI::TaggedNode(node) == nullptr || IndexOfChild(node) >= 0) return -1;
    // Departs from the original behaviour (the row count was refused): a subtree that ends the tree grows there.
    if (index < 0 || index > ChildCount()) return -1;
    PrepareRow(node);
    if (!CListUI::InsertChildAt(node, index)) return -1;
    node->SetTreeView(this);
    // The whole subtree follows, depth-first, so no child node is left out of the rows.
    int next = index + 1;
    const int count = node->ChildNodeCount();
    for (int i = 0; i < count; ++i) {
        CTreeNodeUI* child = node->GetChildNode(i);
        if (child == nullptr) continue;
        const int after = AddNodeAt(child, next);
        if (after >= 0) next = after;
    }
    return next;
}

bool CTreeViewUI::AddNodeBefore(CTreeNodeUI* node, CTreeNodeUI* anchor) {
    if (node == nullptr && anchor == nullptr) return false;
    const int index = anchor != nullptr ? IndexOfChild(anchor) : -1;
    if (index < 0) return false;
    return AddNodeAt(node, index) >= 0;
}

bool CTreeViewUI::RemoveNode(CTreeNodeUI* node) {
    if (node == nullptr || IndexOfChild(node) < 0) return false;
    // Its parent must not list it even while the row waits to be freed.
    if (CTreeNodeUI* parent = node->GetParentNode()) parent->ForgetChildNode(node);
    while (node->ChildNodeCount() > 0) {
        if (!node->RemoveChild(node->GetChildNode(0))) break;
    }
    // The list's own removal: this tree's RemoveChildAt would come back here.
    return CListUI::RemoveChildAt(IndexOfChild(node));
}

bool CTreeViewUI::RemoveChild(CControlUI* control) {
    if (CTreeNodeUI* node = CTreeNodeUI::TaggedNode(control)) return RemoveNode(node);
    return CListUI::RemoveChild(control);
}

bool CTreeViewUI::RemoveChildAt(int index) {
    if (CTreeNodeUI* node = CTreeNodeUI::TaggedNode(GetChildAt(index))) return RemoveNode(node);
    return CListUI::RemoveChildAt(index);
}

bool CTreeViewUI::OnFolderChanged(void* param) {
    const auto* msg = static_cast<UINotifyMsg*>(param);
    if (msg->type != L"selectchanged") return true;
    CTreeNodeUI* node = NodeOfPart(*msg);
    if (node == nullptr || node->GetFolderButton() != msg->sender) return true;
    const bool unfolded = !node->IsFolded();
    node->SetUnfolded(unfolded);
    SetItemExpand(unfolded, node);
    return true;
}

bool CTreeViewUI::OnItemDoubleClick(void* param) {
    const auto* msg = static_cast<UINotifyMsg*>(param);
    if (msg->type != L"itemdbclick") return false;
    CTreeNodeUI* node = CTreeNodeUI::TaggedNode(msg->sender);
    if (node == nullptr) return true;
    // The fold button's own "selectchanged" applies the new state first.
    node->GetFolderButton()->Select(!node->IsFolded());
    const bool unfolded = !node->IsFolded();
    node->SetUnfolded(unfolded);
    SetItemExpand(unfolded, node);
    return true;
}

bool CTreeViewUI::OnCheckBoxChanged(void* param) {
    const auto* msg = static_cast<UINotifyMsg*>(param);
    if (msg->type != L"selectchanged") return true;
    CTreeNodeUI* node = NodeOfPart(*msg);
    if (node == nullptr || node->GetCheckBox() != msg->sender) return true;
    SetItemCheckBox(node->GetCheckBox()->IsSelected(), node);
    return true;
}

void CTreeViewUI::ForEachNodeUnder(CTreeNodeUI* node, const std::function<void(CTreeNodeUI*)>& apply) {
    // A change such as a check raises notifications whose receivers may change the tree: every
    // node is looked up again by index, and a missing one is skipped.
    if (node != nullptr) {
        const int count = node->ChildNodeCount();
        for (int i = 0; i < count; ++i) {
            if (CTreeNodeUI* child = node->GetChildNode(i)) apply(child);
        }
        return;
    }
    for (int i = 0; i < ChildCount(); ++i) {
        if (auto* row = dynamic_cast<CTreeNodeUI*>(GetChildAt(i))) apply(row);
    }
}

bool CTreeViewUI::SetItemCheckBox(bool checked, CTreeNodeUI* node) {
    ForEachNodeUnder(node, [&](CTreeNodeUI* each) {
        each->GetCheckBox()->Select(checked);
        if (each->ChildNodeCount() > 0) SetItemCheckBox(checked, each);
    });
    return true;
}

void CTreeViewUI::SetItemExpand(bool expanded, CTreeNodeUI* node) {
    // A folded child keeps its own children hidden whatever its parent does.
    ForEachNodeUnder(node, [&](CTreeNodeUI* each) {
        each->Show(expanded);
        if (each->ChildNodeCount() > 0 && !each->IsFolded()) SetItemExpand(expanded, each);
    });
}

void CTreeViewUI::SetVisibleFolderBtn(bool visible) {
    m_visibleFolderButton = visible;
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->GetFolderButton()->Show(visible); });
}

void CTreeViewUI::SetVisibleCheckBtn(bool visible) {
    m_visibleCheckBox = visible;
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->GetCheckBox()->Show(visible); });
}

void CTreeViewUI::SetItemMinWidth(UINT width) {
    m_itemMinWidth = width;
    const int floor = static_cast<int>(std::min<UINT>(width, kGeometryLimit));
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->SetWidthFloor(floor); });
    Repaint();
}

void CTreeViewUI::SetItemTextColor(DWORD argb) {
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->SetItemTextColor(argb); });
}

void CTreeViewUI::SetItemHotTextColor(DWORD argb) {
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->SetItemHotTextColor(argb); });
}

void CTreeViewUI::SetSelItemTextColor(DWORD argb) {
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->SetSelItemTextColor(argb); });
}

void CTreeViewUI::SetSelItemHotTextColor(DWORD argb) {
    ForEachNodeUnder(nullptr, [&](CTreeNodeUI* row) { row->SetSelItemHotTextColor(argb); });
}

void CTreeViewUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    int number = 0;
    if (name == L"visiblefolderbtn") {
        SetVisibleFolderBtn(ParseBool(value));
    } else if (name == L"visiblecheckbtn") {
        SetVisibleCheckBtn(ParseBool(value));
    } else if (name == L"itemminwidth") {
        if (ParseInt(value, &number) && number >= 0) SetItemMinWidth(static_cast<UINT>(number));
    } else if (name == L"itemtextcolor") {
        if (ParseColor(value, &color)) SetItemTextColor(color);
    } else if (name == L"itemhottextcolor") {
        if (ParseColor(value, &color)) SetItemHotTextColor(color);
    } else if (name == L"selitemtextcolor") {
        if (ParseColor(value, &color)) SetSelItemTextColor(color);
    } else if (name == L"selitemhottextcolor") {
        if (ParseColor(value, &color)) SetSelItemHotTextColor(color);
    } else {
        CListUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
