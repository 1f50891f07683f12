// Lists whose parts go away while they are in use; run under AddressSanitizer.
#include <string>

#include "ListFixture.h"
#include "ui/core/ContainerUI.h"

using SkinUI::CControlUI;
using SkinUI::CListUI;

namespace {

using ListLifetimeTest = listtest::ListTest;

const char kRows[] = R"(<VerticalLayout name="root"><List name="list" header="hidden" height="60" vscrollbar="true">
    <ListLabelElement name="r0" height="20"/><ListLabelElement name="r1" height="20"/>
    <ListLabelElement name="r2" height="20"/><ListLabelElement name="r3" height="20"/>
    <ListLabelElement name="r4" height="20"/>
  </List><Control/></VerticalLayout>)";

}  // namespace

TEST_F(ListLifetimeTest, ARowRemovedByItsOwnNotificationReachesTheListNoMore) {
    Build(kRows);
    // Removed on its press: the row that takes its place must not be selected in its stead.
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"itemclick" && msg.sender->GetName() == L"r2") List()->RemoveChild(msg.sender);
    };
    Click(50, 50);
    EXPECT_EQ(TakeLog(), "itemclick:r2:0:0");
    EXPECT_EQ(List()->ChildCount(), 4);
    EXPECT_EQ(List()->GetSelectedIndex(), -1);

    // Removed when it becomes the selection: the list moves on to the row that took its index.
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"itemselect" && msg.wParam == 1 && Row(1)->GetName() == L"r1") List()->RemoveChildAt(1);
    };
    Click(50, 30);
    EXPECT_EQ(TakeLog(), "itemclick:r1:0:0 itemselect:list:1:-1 itemselect:list:1:-1");
    EXPECT_EQ(Row(1)->GetName(), L"r3");
    EXPECT_EQ(List()->GetSelectedIndex(), 1);

    // Removed on a double click, which activates it first.
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"itemactivate") List()->RemoveChild(msg.sender);
    };
    Mouse(WM_LBUTTONDBLCLK, 50, 10, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 50, 10);
    EXPECT_EQ(List()->ChildCount(), 2);
}

TEST_F(ListLifetimeTest, AListDestroyedWhileItScrollsSmoothly) {
    Build(kRows);
    Wheel(50, 30, -2);
    Advance(CListUI::kSmoothScrollIntervalMs);
    ASSERT_NE(List()->SmoothScrollAmount(), 0);
    auto* root = Find<SkinUI::CContainerUI>(L"root");
    ASSERT_TRUE(root->RemoveChild(List()));
    Advance(CListUI::kSmoothScrollIntervalMs);
    Advance(CListUI::kSmoothScrollIntervalMs);

    // And from a notification while the scroll runs: the window's tree is replaced on a press.
    Build(kRows);
    Wheel(50, 30, -2);
    onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"itemclick") m_manager->AttachRoot(new SkinUI::CContainerUI());
    };
    Click(50, 10);
    EXPECT_EQ(m_manager->ControlByName(L"list"), nullptr);
    Advance(CListUI::kSmoothScrollIntervalMs);
    Advance(CListUI::kSmoothScrollIntervalMs);
}

TEST_F(ListLifetimeTest, RemovingTheHeaderLeavesAnEmptyOneInItsPlace) {
    Build(R"(<VerticalLayout><List name="list" hscrollbar="true">
        <ListHeader name="hdr"><ListHeaderItem width="300"/><ListHeaderItem width="300"/></ListHeader>
        <ListLabelElement name="r0" height="20"/>
      </List></VerticalLayout>)");
    CListUI* list = List();
    CControlUI* header = Find<CControlUI>(L"hdr");
    ASSERT_TRUE(list->RemoveChild(header));
    ASSERT_NE(list->GetHeaderControl(), nullptr);
    EXPECT_NE(static_cast<CControlUI*>(list->GetHeaderControl()), header);
    EXPECT_EQ(list->GetHeaderControl()->ChildCount(), 0);
    EXPECT_EQ(list->CContainerUI::GetChildAt(0), static_cast<CControlUI*>(list->GetHeaderControl()));
    Relayout(SIZE{400, 300});
    list->ScrollTo(SIZE{100, 0});
    EXPECT_EQ(list->GetListStyle()->columnCount, 0);
    EXPECT_EQ(Row(0)->GetBounds().right, 400) << "without columns the rows are as wide as the body";
}
