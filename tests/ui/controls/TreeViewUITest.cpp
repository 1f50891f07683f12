#include "ui/controls/TreeViewUI.h"

#include <string>
#include <vector>

#include "ListFixture.h"
#include "ui/basic/CheckBoxUI.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/controls/TreeNodeUI.h"

using SkinUI::CControlUI;
using SkinUI::CTreeNodeUI;
using SkinUI::CTreeViewUI;

namespace {

// a
//   a1
//     a1x
//   a2
// b
const char kTree[] = R"(<VerticalLayout>
  <TreeView name="tree" visiblecheckbtn="true">
    <TreeNode name="a" text="A">
      <TreeNode name="a1" text="A1"><TreeNode name="a1x" text="A1x"/></TreeNode>
      <TreeNode name="a2" text="A2"/>
    </TreeNode>
    <TreeNode name="b" text="B"/>
  </TreeView>
</VerticalLayout>)";

class TreeViewUITest : public listtest::ListTest {
protected:
    CTreeViewUI* Tree() { return Find<CTreeViewUI>(L"tree"); }
    CTreeNodeUI* Node(std::wstring_view name) { return Find<CTreeNodeUI>(name); }
    // The rows' names in order, "name" or "(name)" for a hidden one.
    std::string Rows() {
        std::string rows;
        for (int i = 0; i < Tree()->ChildCount(); ++i) {
            CControlUI* row = Tree()->GetChildAt(i);
            const std::string name = basictest::Narrow(row->GetName().View());
            rows += (rows.empty() ? "" : " ") + (row->IsShown() ? name : "(" + name + ")");
        }
        return rows;
    }
    void ClickCentre(CControlUI* control) {
        m_manager->UpdateLayout();
        const RECT b = control->GetBounds();
        Click((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    }
    void DoubleClick(CControlUI* control) {
        m_manager->UpdateLayout();
        const RECT b = control->GetBounds();
        const int x = (b.left + b.right) / 2;
        const int y = (b.top + b.bottom) / 2;
        Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, x, y);
        Mouse(WM_LBUTTONDBLCLK, x, y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, x, y);
    }
    static CTreeNodeUI* NewNode(const wchar_t* name) {
        auto* node = new CTreeNodeUI();
        node->SetName(name);
        return node;
    }
};

}  // namespace

TEST_F(TreeViewUITest, SkinNodesBecomeRowsInDepthFirstOrderOneLevelDeeperEach) {
    Build(kTree);
    EXPECT_EQ(Rows(), "a a1 a1x a2 b");
    EXPECT_EQ(Node(L"a1x")->GetParentNode(), Node(L"a1"));
    EXPECT_EQ(Node(L"a")->ChildNodeCount(), 2);
    EXPECT_EQ(Node(L"a2")->GetTreeIndex(), 3);
    EXPECT_EQ(Node(L"a")->GetLastNode(), Node(L"a2"));
    EXPECT_EQ(Node(L"a1x")->GetTreeView(), Tree());

    // Top-level nodes show no indentation; each level below adds 16 pixels to the line.
    EXPECT_FALSE(Node(L"a")->GetDotLine()->IsShown());
    EXPECT_FALSE(Node(L"b")->GetDotLine()->IsShown());
    const auto textLeft = [&](const wchar_t* name) { return Node(name)->GetItemButton()->GetBounds().left; };
    EXPECT_EQ(Node(L"a1")->GetDotLine()->GetPresetWidth(), 18);
    EXPECT_EQ(Node(L"a1x")->GetDotLine()->GetPresetWidth(), 34);
    EXPECT_EQ(textLeft(L"a1x") - textLeft(L"a1"), 16);
    EXPECT_EQ(textLeft(L"a2"), textLeft(L"a1"));
    EXPECT_GT(textLeft(L"a1"), textLeft(L"a"));
    EXPECT_EQ(textLeft(L"b"), textLeft(L"a"));
    EXPECT_EQ(Node(L"a1")->GetItemText(), L"A1");

    // The list's header stays hidden, and the rows come right under the tree's top.
    EXPECT_FALSE(Tree()->GetHeaderControl()->IsShown());
    EXPECT_EQ(Node(L"a")->GetBounds().top, Tree()->GetBounds().top);
    EXPECT_EQ(Node(L"a1")->GetBounds().top, Node(L"a")->GetBounds().bottom);
}

TEST_F(TreeViewUITest, FoldingKeepsTheChildrenOfAFoldedBranchHidden) {
    Build(kTree);
    // The fold button of a1 hides its child.
    ClickCentre(Node(L"a1")->GetFolderButton());
    EXPECT_TRUE(Node(L"a1")->IsFolded());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b");

    // Folding a hides its whole subtree; unfolding it shows a1 and a2, not the folded a1's child.
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Rows(), "a (a1) (a1x) (a2) b");
    EXPECT_FALSE(Node(L"a")->IsUnfolded());
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b");

    // A double click on the text folds the same way, once per double click, and selects.
    TakeLog();
    DoubleClick(Node(L"a")->GetItemButton());
    EXPECT_EQ(Rows(), "a (a1) (a1x) (a2) b");
    EXPECT_TRUE(Node(L"a")->IsFolded());
    EXPECT_TRUE(Node(L"a")->IsSelected());
    const std::string log = TakeLog();
    EXPECT_NE(log.find("itemdbclick:a:0:0"), std::string::npos) << log;
    EXPECT_EQ(log.find("itemdbclick"), log.rfind("itemdbclick")) << log;
    DoubleClick(Node(L"a")->GetItemButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b");

    // A hidden selected row gives up the selection.
    Tree()->SelectItem(1);
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Tree()->GetSelectedIndex(), -1);
    EXPECT_FALSE(Node(L"a1")->IsSelected());
}

TEST_F(TreeViewUITest, CheckingANodeChecksItsWholeSubtree) {
    Build(kTree);
    ClickCentre(Node(L"a")->GetCheckBox());
    for (const wchar_t* name : {L"a", L"a1", L"a1x", L"a2"}) {
        SCOPED_TRACE(basictest::Narrow(name));
        EXPECT_TRUE(Node(name)->GetCheckBox()->IsSelected());
    }
    EXPECT_FALSE(Node(L"b")->GetCheckBox()->IsSelected());

    // Unchecking a1 clears its own subtree only.
    ClickCentre(Node(L"a1")->GetCheckBox());
    EXPECT_FALSE(Node(L"a1x")->GetCheckBox()->IsSelected());
    EXPECT_TRUE(Node(L"a2")->GetCheckBox()->IsSelected());
    ClickCentre(Node(L"a")->GetCheckBox());
    for (const wchar_t* name : {L"a", L"a1", L"a1x", L"a2"}) {
        SCOPED_TRACE(basictest::Narrow(name));
        EXPECT_FALSE(Node(name)->GetCheckBox()->IsSelected());
    }
}

TEST_F(TreeViewUITest, RemovingANodeRemovesItsSubtreeRows) {
    Build(R"(<VerticalLayout><TreeView name="tree">
        <TreeNode name="p"><TreeNode name="c0"/><TreeNode name="c1"><TreeNode name="g"/></TreeNode>
          <TreeNode name="c2"/></TreeNode>
        <TreeNode name="q"/>
      </TreeView></VerticalLayout>)");
    Tree()->SelectItem(5);
    ASSERT_TRUE(Tree()->RemoveNode(Node(L"p")));
    EXPECT_EQ(Rows(), "q");
    EXPECT_EQ(Tree()->GetSelectedIndex(), 0);
    EXPECT_EQ(Node(L"q")->GetTreeIndex(), 0);

    // Through the parent node: the child's rows go, the parent stays.
    Build(R"(<VerticalLayout><TreeView name="tree">
        <TreeNode name="p"><TreeNode name="c0"><TreeNode name="g0"/><TreeNode name="g1"/></TreeNode>
          <TreeNode name="c1"/></TreeNode>
      </TreeView></VerticalLayout>)");
    ASSERT_TRUE(Node(L"p")->RemoveChild(Node(L"c0")));
    EXPECT_EQ(Rows(), "p c1");
    EXPECT_EQ(Node(L"p")->ChildNodeCount(), 1);
    EXPECT_EQ(Node(L"p")->GetChildNode(0), Node(L"c1"));
    EXPECT_FALSE(Node(L"p")->RemoveChild(Node(L"p"))) << "only child nodes are removed";
}

TEST_F(TreeViewUITest, NodesAddedByCodeTakeTheirPlaceInTheRows) {
    Build(kTree);
    // Before an anchor: in front of it, at its row.
    CTreeNodeUI* x = NewNode(L"x");
    ASSERT_TRUE(Tree()->AddNodeBefore(x, Node(L"a2")));
    EXPECT_EQ(Rows(), "a a1 a1x x a2 b");
    EXPECT_FALSE(Tree()->AddNodeBefore(nullptr, nullptr));

    // Appended to a node: after the last row of its subtree, one level deeper.
    CTreeNodeUI* y = NewNode(L"y");
    ASSERT_TRUE(Node(L"a1")->AppendChild(y));
    EXPECT_EQ(Rows(), "a a1 a1x y x a2 b");
    EXPECT_EQ(y->GetParentNode(), Node(L"a1"));
    EXPECT_EQ(y->GetDotLine()->GetPresetWidth(), 34);

    // Inserted into a node at a child's index: in front of that child.
    CTreeNodeUI* z = NewNode(L"z");
    ASSERT_TRUE(Node(L"a")->InsertChildAt(z, 1));
    EXPECT_EQ(Rows(), "a a1 a1x y x z a2 b");
    EXPECT_EQ(Node(L"a")->GetChildNode(1), z);

    // A node added by code reacts to its fold button like the skin's.
    ClickCentre(Node(L"a1")->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) (y) x z a2 b");
    EXPECT_FALSE(Node(L"a")->InsertChildAt(Find<CControlUI>(L"tree"), 0)) << "only nodes";
}

TEST_F(TreeViewUITest, TreeAttributesReachEveryRowNowAndLater) {
    Build(R"(<VerticalLayout><TreeView name="tree" itemminwidth="300">
        <TreeNode name="a"/><TreeNode name="b" itemtextcolor="#FF445566"/>
      </TreeView></VerticalLayout>)");
    EXPECT_EQ(Node(L"b")->GetItemButton()->m_textColor, 0xFF445566u);
    // The tree's colour reaches every row at once; the list's own item colour never sees it.
    Tree()->ApplyAttribute(L"itemtextcolor", L"#FF112233");
    EXPECT_EQ(Node(L"a")->GetItemButton()->m_textColor, 0xFF112233u);
    EXPECT_EQ(Node(L"b")->GetItemButton()->m_textColor, 0xFF112233u);
    EXPECT_EQ(Tree()->GetListStyle()->textColor, 0xFF000000u);
    EXPECT_EQ(Node(L"a")->GetWidthFloor(), 300);

    Tree()->ApplyAttribute(L"visiblecheckbtn", L"true");
    Tree()->ApplyAttribute(L"visiblefolderbtn", L"yes");
    EXPECT_TRUE(Node(L"a")->GetCheckBox()->IsShown());
    EXPECT_FALSE(Node(L"a")->GetFolderButton()->IsShown());
    CTreeNodeUI* c = NewNode(L"c");
    ASSERT_TRUE(Tree()->AddNode(c));
    EXPECT_TRUE(c->GetCheckBox()->IsShown());
    EXPECT_FALSE(c->GetFolderButton()->IsShown());
    EXPECT_EQ(c->GetWidthFloor(), 300);
    EXPECT_FALSE(Tree()->AddNode(c)) << "a row is not added twice";
    EXPECT_FALSE(Tree()->AddNode(Find<CControlUI>(L"tree")));

    // Hover and selection colours of a node's text.
    Build(R"(<VerticalLayout><TreeView name="tree">
        <TreeNode name="a" itemtextcolor="#FF000001" itemhottextcolor="#FF000002" selitemtextcolor="#FF000003"
                  selitemhottextcolor="#FF000004"/>
        <TreeNode name="b"/>
      </TreeView></VerticalLayout>)");
    const RECT a = Node(L"a")->GetBounds();
    const auto color = [&] { return Node(L"a")->GetItemButton()->m_textColor; };
    Mouse(WM_MOUSEMOVE, a.right - 5, a.top + 5);
    EXPECT_EQ(color(), 0xFF000002u);
    Tree()->SelectItem(0);
    EXPECT_EQ(color(), 0xFF000003u);
    Mouse(WM_MOUSEMOVE, a.right - 5, a.bottom + 5);
    EXPECT_EQ(color(), 0xFF000003u);
    Mouse(WM_MOUSEMOVE, a.right - 5, a.top + 5);
    EXPECT_EQ(color(), 0xFF000004u);
    Tree()->SelectItem(1);
    EXPECT_EQ(color(), 0xFF000001u);
}

TEST_F(TreeViewUITest, ATreeNodeOutsideATreeStopsItsParentsChildren) {
    const std::wstring problems = BuildExpectingProblems(R"(<VerticalLayout name="top">
        <Control name="before"/><TreeNode name="stray"/><Control name="after"/>
      </VerticalLayout>)");
    EXPECT_NE(problems.find(L"TreeNode"), std::wstring::npos);
    EXPECT_NE(m_manager->ControlByName(L"before"), nullptr);
    EXPECT_EQ(m_manager->ControlByName(L"stray"), nullptr);
    EXPECT_EQ(m_manager->ControlByName(L"after"), nullptr);
}

TEST_F(TreeViewUITest, ANodeCanGrowAtTheEndOfTheTree) {
    Build(kTree);
    // b's subtree ends the tree: its new child's row goes one past the last row.
    CTreeNodeUI* y = NewNode(L"y");
    ASSERT_TRUE(Node(L"b")->AppendChild(y));
    EXPECT_EQ(Rows(), "a a1 a1x a2 b y");
    EXPECT_EQ(Node(L"b")->GetChildNode(0), y);
    EXPECT_EQ(Tree()->AddNodeAt(NewNode(L"z"), Tree()->ChildCount()), 7);
    EXPECT_EQ(Rows(), "a a1 a1x a2 b y z");
    EXPECT_EQ(Tree()->AddNodeAt(Node(L"z"), 0), -1) << "a row is not added twice";
    CTreeNodeUI* stray = NewNode(L"stray");
    EXPECT_EQ(Tree()->AddNodeAt(stray, 9), -1);
    delete stray;
}

TEST_F(TreeViewUITest, ANodeAddedByCodeBringsItsWholeSubtree) {
    Build(kTree);
    // p
    //   c0
    //   c1
    //     g
    //   c2
    CTreeNodeUI* p = NewNode(L"p");
    CTreeNodeUI* c1 = NewNode(L"c1");
    ASSERT_TRUE(p->AppendChild(NewNode(L"c0")));
    ASSERT_TRUE(p->AppendChild(c1));
    ASSERT_TRUE(c1->AppendChild(NewNode(L"g")));
    ASSERT_TRUE(p->AppendChild(NewNode(L"c2")));
    EXPECT_EQ(Tree()->AddNodeAt(p, 4), 9) << "the index after the subtree's last row";
    EXPECT_EQ(Rows(), "a a1 a1x a2 p c0 c1 g c2 b");
    for (const wchar_t* name : {L"p", L"c0", L"c1", L"g", L"c2"}) {
        SCOPED_TRACE(basictest::Narrow(name));
        EXPECT_EQ(Node(name)->GetTreeView(), Tree());
    }
    // Every row of it works as a row: c1's fold button folds g.
    ClickCentre(c1->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 a1x a2 p c0 c1 (g) c2 b");

    // In front of an anchor the same way.
    CTreeNodeUI* q = NewNode(L"q");
    ASSERT_TRUE(q->AppendChild(NewNode(L"q0")));
    ASSERT_TRUE(q->AppendChild(NewNode(L"q1")));
    ASSERT_TRUE(Tree()->AddNodeBefore(q, Node(L"a")));
    EXPECT_EQ(Rows(), "q q0 q1 a a1 a1x a2 p c0 c1 (g) c2 b");
}

TEST_F(TreeViewUITest, ANodeRemovedFromTheTreeLeavesItsParentNode) {
    // Removed by a receiver, the node is freed only after the event; its parent must not list
    // it meanwhile, or a new child would be placed after a row that is gone.
    Build(kTree);
    CTreeNodeUI* x = NewNode(L"x");
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type != L"itemclick") return;
        onNotify = nullptr;
        ASSERT_TRUE(Tree()->RemoveNode(Node(L"a2")));
        EXPECT_EQ(Node(L"a")->GetLastNode(), Node(L"a1x"));
        EXPECT_TRUE(Node(L"a")->AppendChild(x));
    };
    ClickCentre(Node(L"b")->GetItemButton());
    EXPECT_EQ(Rows(), "a a1 a1x x b");

    Build(kTree);
    ASSERT_TRUE(Tree()->RemoveNode(Node(L"a2")));
    EXPECT_EQ(Rows(), "a a1 a1x b");
    ASSERT_EQ(Node(L"a")->ChildNodeCount(), 1);
    EXPECT_EQ(Node(L"a")->GetLastNode(), Node(L"a1x"));
    // The parent still works on what it has left.
    CTreeNodeUI* y = NewNode(L"y");
    ASSERT_TRUE(Node(L"a")->AppendChild(y));
    EXPECT_EQ(Rows(), "a a1 a1x y b");
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Rows(), "a (a1) (a1x) (y) b");

    // The list's own removal of a node is the tree's, for a leaf as for a branch.
    ASSERT_TRUE(Tree()->RemoveChild(y));
    EXPECT_EQ(Rows(), "a (a1) (a1x) b");
    ASSERT_TRUE(Tree()->RemoveChild(Node(L"a1")));
    EXPECT_EQ(Rows(), "a b");
    EXPECT_EQ(Node(L"a")->ChildNodeCount(), 0);
    y = NewNode(L"y");
    ASSERT_TRUE(Node(L"a")->AppendChild(y));
    Tree()->SetItemCheckBox(true, nullptr);
    EXPECT_TRUE(y->GetCheckBox()->IsSelected());
}

TEST_F(TreeViewUITest, RemovingByIndexRemovesTheNodeThereOrReportsNothingRemoved) {
    Build(kTree);
    // A leaf goes, and its parent no longer lists it.
    EXPECT_TRUE(Tree()->RemoveChildAt(3));
    EXPECT_EQ(Rows(), "a a1 a1x b");
    EXPECT_EQ(Node(L"a")->ChildNodeCount(), 1);
    // A node with children goes with them.
    EXPECT_TRUE(Tree()->RemoveChildAt(0));
    EXPECT_EQ(Rows(), "b");
    EXPECT_FALSE(Tree()->RemoveChildAt(1)) << "no row there";
    EXPECT_FALSE(Tree()->RemoveChildAt(-1));
    EXPECT_EQ(Rows(), "b");
}
