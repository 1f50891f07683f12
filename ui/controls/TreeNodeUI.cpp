#include "ui/controls/TreeNodeUI.h"

#include "commonlib/util/StringUtils.h"
#include "ui/basic/CheckBoxUI.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/controls/TreeViewUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/HorizontalLayoutUI.h"

namespace SkinUI {

namespace {

constexpr int kRowHeight = 18;
constexpr int kRowWidth = 250;
constexpr int kDotLineWidth = 2;

}  // namespace

CTreeNodeUI* CTreeNodeUI::TaggedNode(CControlUI* control) {
    if (control == nullptr || !EqualsNoCaseW(control->GetClassTag(), L"TreeNodeUI")) return nullptr;
    return dynamic_cast<CTreeNodeUI*>(control);
}

CTreeNodeUI::CTreeNodeUI()
    : m_rowLayout(new CHorizontalLayoutUI()),
      m_folderButton(new CCheckBoxUI()),
      m_dotLine(new CLabelUI()),
      m_checkBox(new CCheckBoxUI()),
      m_itemButton(new COptionUI()) {
    SetPresetHeight(kRowHeight);
    SetPresetWidth(kRowWidth);
    m_folderButton->SetPresetWidth(GetPresetHeight());
    m_dotLine->SetPresetWidth(kDotLineWidth);
    m_checkBox->SetPresetWidth(GetPresetHeight());
    m_itemButton->ApplyAttribute(L"align", L"left");
    m_dotLine->Show(false);
    m_checkBox->Show(false);
    m_itemButton->SetAcceptsMouse(false);
    // The node itself takes the mouse wherever no button is, so a press focuses and selects it.
    m_rowLayout->SetAcceptsMouse(false);
    m_rowLayout->AppendChild(m_dotLine);
    m_rowLayout->AppendChild(m_folderButton);
    m_rowLayout->AppendChild(m_checkBox);
    m_rowLayout->AppendChild(m_itemButton);
    // The container's own insertion: appending goes through this class's InsertChildAt,
    // which takes only nodes.
    CContainerUI::InsertChildAt(m_rowLayout, 0);
}

CTreeNodeUI::~CTreeNodeUI() {
    for (int i = 0; i < m_childNodes.Count(); ++i) {
        auto* child = static_cast<CTreeNodeUI*>(m_childNodes.ItemAt(i));
        if (child->m_parentNode == this) child->m_parentNode = nullptr;
    }
    m_childNodes.Clear();
    if (m_parentNode != nullptr) m_parentNode->UnlinkChildNode(this);
}

const wchar_t* CTreeNodeUI::GetClassTag() const {
    return L"TreeNodeUI";
}

void* CTreeNodeUI::QueryFacet(std::wstring_view name) {
    if (name == L"TreeNode") return this;
    return CListContainerElementUI::QueryFacet(name);
}

bool CTreeNodeUI::IsFolded() const {
    return m_folderButton->IsSelected();
}

CUIString CTreeNodeUI::GetItemText() const {
    return m_itemButton->GetCaption();
}

CTreeNodeUI* CTreeNodeUI::GetChildNode(int index) const {
    return static_cast<CTreeNodeUI*>(m_childNodes.ItemAt(index));
}

int CTreeNodeUI::ChildNodeIndex(const CTreeNodeUI* child) const {
    return child != nullptr ? m_childNodes.IndexOf(child) : -1;
}

void CTreeNodeUI::UnlinkChildNode(CTreeNodeUI* child) {
    const int index = ChildNodeIndex(child);
    if (index >= 0) m_childNodes.RemoveAt(index);
    if (child != nullptr && child->m_parentNode == this) child->m_parentNode = nullptr;
}

int CTreeNodeUI::GetTreeIndex() const {
    if (m_treeView == nullptr) return -1;
    const int count = m_treeView->ChildCount();
    for (int i = 0; i < count; ++i) {
        if (m_treeView->GetChildAt(i) == this) return i;
    }
    return -1;
}

CTreeNodeUI* CTreeNodeUI::GetLastNode() {
    CTreeNodeUI* node = this;
    while (node->ChildNodeCount() > 0)
        node = node->GetChildNode(node->ChildNodeCount() - 1);
    return node;
}

void CTreeNodeUI::PlaceChildNode(CTreeNodeUI* child) {
    if (child == nullptr || child == this) return;
    if (child->m_parentNode != nullptr && child->m_parentNode != this) child->m_parentNode->UnlinkChildNode(child);
    child->m_dotLine->Show(true);
    child->m_dotLine->SetPresetWidth(m_dotLine->GetPresetWidth() + kIndentStep);
    child->m_parentNode = this;
    child->m_itemButton->SetGroupName(m_itemButton->GetGroupName());
    child->m_treeView = m_treeView;
}

bool CTreeNodeUI::AddChildNode(CTreeNodeUI* child) {
    if (child == nullptr || child == this || ChildNodeIndex(child) >= 0) return false;
    PlaceChildNode(child);
    if (m_treeView == nullptr) {
        m_childNodes.Append(child);
        return true;
    }
    // Its row goes after the last row of this node's subtree.
    CTreeNodeUI* anchor = ChildNodeCount() > 0 ? GetChildNode(ChildNodeCount() - 1)->GetLastNode() : this;
    if (m_treeView->AddNodeAt(child, anchor->GetTreeIndex() + 1) < 0) {
        child->m_parentNode = nullptr;
        return false;
    }
    m_childNodes.Append(child);
    return true;
}

bool CTreeNodeUI::AppendChild(CControlUI* control) {
    if (control == nullptr) return false;
    CTreeNodeUI* node = TaggedNode(control);
    if (node == nullptr) return CContainerUI::InsertChildAt(control, CContainerUI::ChildCount());
    return AddChildNode(node);
}

bool CTreeNodeUI::InsertChildAt(CControlUI* control, int index) {
    auto* node = control != nullptr ? static_cast<CTreeNodeUI*>(control->QueryFacet(L"TreeNode")) : nullptr;
    if (node == nullptr || node == this || ChildNodeIndex(node) >= 0) return false;
    // A position past the children appends, as AppendChild does: the rows stay in
    // depth-first order.
    if (index < 0 || index >= ChildNodeCount()) return AddChildNode(node);
    CTreeNodeUI* former = GetChildNode(index);
    if (!m_childNodes.InsertAt(index, node)) return false;
    PlaceChildNode(node);
    if (m_treeView == nullptr) return true;
    if (m_treeView->AddNodeBefore(node, former)) return true;
    UnlinkChildNode(node);
    return false;
}

bool CTreeNodeUI::RemoveChild(CControlUI* control) {
    auto* child = dynamic_cast<CTreeNodeUI*>(control);
    if (ChildNodeIndex(child) < 0) return false;
    // The deepest nodes go first, so no row is ever left without its parent's row.
    while (child->ChildNodeCount() > 0) {
        if (!child->RemoveChild(child->GetChildNode(0))) break;
    }
    UnlinkChildNode(child);
    if (m_treeView != nullptr) m_treeView->RemoveNode(child);
    return true;
}

bool CTreeNodeUI::Select(bool select) {
    const bool result = CListContainerElementUI::Select(select);
    m_itemButton->SetTextColor(IsSelected() ? m_selItemTextColor : m_itemTextColor);
    return result;
}

void CTreeNodeUI::ApplyHoverColor(bool hot) {
    if (!IsUsable()) {
        m_itemButton->SetTextColor(m_itemButton->m_disabledTextColor);
        return;
    }
    if (hot) {
        m_itemButton->SetTextColor(IsSelected() && m_selItemHotTextColor != 0 ? m_selItemHotTextColor
                                                                              : m_itemHotTextColor);
    } else if (!IsSelected()) {
        m_itemButton->SetTextColor(m_itemTextColor);
    } else if (m_selItemTextColor != 0) {
        m_itemButton->SetTextColor(m_selItemTextColor);
    }
}

void CTreeNodeUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_owner != nullptr) {
            m_owner->HandleItemEvent(event);
        } else {
            CContainerUI::HandleEvent(event);
        }
        return;
    }
    CListContainerElementUI::HandleEvent(event);
    switch (event.type) {
        case UIEventType::DoubleClick:
            if (IsUsable()) Repaint();
            break;
        case UIEventType::MouseEnter:
            ApplyHoverColor(true);
            break;
        case UIEventType::MouseLeave:
            ApplyHoverColor(false);
            break;
        default:
            break;
    }
}

void CTreeNodeUI::SetItemTextColor(DWORD argb) {
    m_itemTextColor = argb;
    m_itemButton->SetTextColor(argb);
}

void CTreeNodeUI::SetItemHotTextColor(DWORD argb) {
    m_itemHotTextColor = argb;
    Repaint();
}

void CTreeNodeUI::SetSelItemTextColor(DWORD argb) {
    m_selItemTextColor = argb;
    Repaint();
}

void CTreeNodeUI::SetSelItemHotTextColor(DWORD argb) {
    m_selItemHotTextColor = argb;
    Repaint();
}

void CTreeNodeUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    DWORD color = 0;
    if (name == L"text") {
        m_itemButton->SetCaption(CUIString(value));
    } else if (name == L"horizattr") {
        m_rowLayout->ApplyAttributeText(value);
    } else if (name == L"dotlineattr") {
        m_dotLine->ApplyAttributeText(value);
    } else if (name == L"folderattr") {
        m_folderButton->ApplyAttributeText(value);
    } else if (name == L"checkboxattr") {
        m_checkBox->ApplyAttributeText(value);
    } else if (name == L"itemattr") {
        m_itemButton->ApplyAttributeText(value);
    } else if (name == L"itemtextcolor") {
        if (ParseColor(value, &color)) SetItemTextColor(color);
    } else if (name == L"itemhottextcolor") {
        if (ParseColor(value, &color)) SetItemHotTextColor(color);
    } else if (name == L"selitemtextcolor") {
        if (ParseColor(value, &color)) SetSelItemTextColor(color);
    } else if (name == L"selitemhottextcolor") {
        if (ParseColor(value, &color)) SetSelItemHotTextColor(color);
    } else {
        CListContainerElementUI::ApplyAttribute(name, value);
    }
}

}  // namespace SkinUI
