// A list that also owns a tree of item nodes, starting from one root node. It behaves as a list
// in every respect; the tree is rebuilt as a lone root whenever all rows are removed and freed
// with the control. Nothing in the program adds nodes to it yet.
//
// UI thread only; ownership as for CListUI, plus the node tree, which the list owns.
#pragma once

#include <memory>
#include <vector>

#include "ui/controls/ListUI.h"

namespace SkinUI {

struct ExpandListNode {
    ExpandListNode() = default;
    ~ExpandListNode() {
        // In order, each child's own children first.
        for (auto& child : children)
            child.reset();
    }
    ExpandListNode(const ExpandListNode&) = delete;
    ExpandListNode& operator=(const ExpandListNode&) = delete;

    std::vector<std::unique_ptr<ExpandListNode>> children;
    void* data = nullptr;
    int index = -1;
    bool firstFlag = true;
    bool secondFlag = true;
    void* link = nullptr;
};

class CExpandListUI : public CListUI {
public:
    CExpandListUI();
    ~CExpandListUI() override;

    // The list's own routing: mouse events go to the parent while the list ignores the mouse.
    void HandleEvent(UIEventRecord& event) override;
    void HandleItemEvent(UIEventRecord& event) override;
    // The list's removal, then a fresh root node.
    void RemoveAllChildren() override;

    ExpandListNode& Root() { return *m_root; }

private:
    std::unique_ptr<ExpandListNode> m_root;
};

}  // namespace SkinUI
