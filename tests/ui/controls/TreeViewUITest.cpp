#include "ui/controls/TreeViewUI.h"

#include <string>

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
    // The rows' names in order, "(name)" for a hidden one.
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
        const POINT pt = CentreOf(control);
        Click(pt.x, pt.y);
    }
    void DoubleClick(CControlUI* control) {
        const POINT pt = CentreOf(control);
        Mouse(WM_LBUTTONDOWN, pt.x, pt.y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, pt.x, pt.y);
        Mouse(WM_LBUTTONDBLCLK, pt.x, pt.y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, pt.x, pt.y);
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
    EXPECT_EQ(Node(L"a")->GetBounds().top, Tree()->GetBounds().top) << "no header";

    // Each level below the top indents the text by 16 pixels more.
    const auto textLeft = [&](const wchar_t* name) { return Node(name)->GetItemButton()->GetBounds().left; };
    EXPECT_EQ(textLeft(L"a1x") - textLeft(L"a1"), 16);
    EXPECT_EQ(textLeft(L"a2"), textLeft(L"a1"));
    EXPECT_GT(textLeft(L"a1"), textLeft(L"a"));
    EXPECT_EQ(textLeft(L"b"), textLeft(L"a"));
}

TEST_F(TreeViewUITest, FoldingKeepsTheChildrenOfAFoldedBranchHidden) {
    Build(kTree);
    ClickCentre(Node(L"a1")->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b");
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Rows(), "a (a1) (a1x) (a2) b");
    EXPECT_FALSE(Node(L"a")->IsUnfolded());
    ClickCentre(Node(L"a")->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b") << "the folded a1 keeps its child hidden";

    // A double click on the text folds the same way, with one "itemdbclick", and selects.
    TakeLog();
    DoubleClick(Node(L"a")->GetItemButton());
    EXPECT_EQ(Rows(), "a (a1) (a1x) (a2) b");
    EXPECT_TRUE(Node(L"a")->IsSelected());
    const std::string log = TakeLog();
    EXPECT_NE(log.find("itemdbclick:a:0:0"), std::string::npos) << log;
    EXPECT_EQ(log.find("itemdbclick"), log.rfind("itemdbclick")) << log;
    DoubleClick(Node(L"a")->GetItemButton());
    EXPECT_EQ(Rows(), "a a1 (a1x) a2 b");
}

TEST_F(TreeViewUITest, CheckingANodeChecksItsWholeSubtree) {
    Build(kTree);
    const auto checked = [&] {
        std::string all;
        for (const wchar_t* name : {L"a", L"a1", L"a1x", L"a2", L"b"})
            all += Node(name)->GetCheckBox()->IsSelected() ? "1" : "0";
        return all;
    };
    ClickCentre(Node(L"a")->GetCheckBox());
    EXPECT_EQ(checked(), "11110");
    ClickCentre(Node(L"a1")->GetCheckBox());
    EXPECT_EQ(checked(), "10010");
    ClickCentre(Node(L"a")->GetCheckBox());
    EXPECT_EQ(checked(), "00000");
}

TEST_F(TreeViewUITest, NodesAddedByCodeTakeTheirPlaceWithTheirWholeSubtree) {
    Build(kTree);
    ASSERT_TRUE(Tree()->AddNodeBefore(NewNode(L"x"), Node(L"a2")));
    EXPECT_EQ(Rows(), "a a1 a1x x a2 b");
    // Appended to a node: after the last row of its subtree, one level deeper; also when that
    // subtree ends the tree.
    ASSERT_TRUE(Node(L"a1")->AppendChild(NewNode(L"y")));
    ASSERT_TRUE(Node(L"b")->AppendChild(NewNode(L"z")));
    EXPECT_EQ(Rows(), "a a1 a1x y x a2 b z");
    // Inserted at a child's index: in front of that child.
    ASSERT_TRUE(Node(L"a")->InsertChildAt(NewNode(L"w"), 1));
    EXPECT_EQ(Rows(), "a a1 a1x y x w a2 b z");
    EXPECT_FALSE(Node(L"a")->InsertChildAt(Tree(), 0)) << "only nodes";

    // A node with a subtree brings all of it, and the index after its last row comes back.
    // p
    //   c0
    //   c1
    //     g
    CTreeNodeUI* p = NewNode(L"p");
    CTreeNodeUI* c1 = NewNode(L"c1");
    ASSERT_TRUE(p->AppendChild(NewNode(L"c0")));
    ASSERT_TRUE(p->AppendChild(c1));
    ASSERT_TRUE(c1->AppendChild(NewNode(L"g")));
    EXPECT_EQ(Tree()->AddNodeAt(p, Tree()->ChildCount()), 13);
    EXPECT_EQ(Rows(), "a a1 a1x y x w a2 b z p c0 c1 g");
    EXPECT_EQ(Tree()->AddNodeAt(p, 0), -1) << "a row is not added twice";
    // Every row of it works as a row.
    ClickCentre(c1->GetFolderButton());
    EXPECT_EQ(Rows(), "a a1 a1x y x w a2 b z p c0 c1 (g)");
}

TEST_F(TreeViewUITest, ANodeLeavesWithItsSubtreeAndLeavesItsParent) {
    Build(R"(<VerticalLayout><TreeView name="tree">
        <TreeNode name="p"><TreeNode name="c0"/><TreeNode name="c1"><TreeNode name="g"/></TreeNode>
          <TreeNode name="c2"/></TreeNode>
        <TreeNode name="q"/>
      </TreeView></VerticalLayout>)");
    Tree()->SelectItem(5);
    ASSERT_TRUE(Tree()->RemoveNode(Node(L"p")));
    EXPECT_EQ(Rows(), "q");
    EXPECT_EQ(Tree()->GetSelectedIndex(), 0);

    // Removed by a receiver, a node is freed only after the event; its parent must not list
    // it meanwhile, or a new child would be placed after a row that is gone.
    Build(kTree);
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type != L"itemclick") return;
        onNotify = nullptr;
        ASSERT_TRUE(Tree()->RemoveNode(Node(L"a2")));
        EXPECT_EQ(Node(L"a")->GetLastNode(), Node(L"a1x"));
        EXPECT_TRUE(Node(L"a")->AppendChild(NewNode(L"x")));
    };
    ClickCentre(Node(L"b")->GetItemButton());
    EXPECT_EQ(Rows(), "a a1 a1x x b");

    // By index and through the list's own removal, leaves and branches alike.
    EXPECT_TRUE(Tree()->RemoveChildAt(3));
    EXPECT_EQ(Rows(), "a a1 a1x b");
    EXPECT_EQ(Node(L"a")->ChildNodeCount(), 1);
    EXPECT_TRUE(Tree()->RemoveChild(Node(L"a1x")));
    EXPECT_TRUE(Tree()->RemoveChildAt(0));
    EXPECT_EQ(Rows(), "b");
    EXPECT_FALSE(Tree()->RemoveChildAt(1)) << "no row there";
    // Through the parent node: the child's rows go, the parent stays.
    Build(kTree);
    ASSERT_TRUE(Node(L"a")->RemoveChild(Node(L"a1")));
    EXPECT_EQ(Rows(), "a a2 b");
    EXPECT_FALSE(Node(L"a")->RemoveChild(Node(L"b"))) << "only its own child nodes";
}
