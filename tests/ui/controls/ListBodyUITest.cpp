#include "ui/controls/ListBodyUI.h"

#include <string>

#include "ListFixture.h"
#include "ui/basic/ScrollBarUI.h"

using SkinUI::CControlUI;
using SkinUI::CListUI;

namespace {

using ListBodyUITest = listtest::ListTest;

// Three columns of 200 over a list 400 wide.
const char kWideHeader[] = R"(<HorizontalLayout>
    <List name="list" width="400" hscrollbar="true" vscrollbar="true" bkcolor="#FFFFFFFF">
      <ListHeader height="20">
        <ListHeaderItem name="c0" width="200"/><ListHeaderItem name="c1" width="200"/>
        <ListHeaderItem name="c2" width="200"/>
      </ListHeader>
      <ListTextElement name="r0" height="20"/><ListTextElement name="r1" height="20"/>
      <ListContainerElement name="r2" height="20"><Control name="cell0"/><Control/><Control/></ListContainerElement>
    </List>
    <Control/>
  </HorizontalLayout>)";

}  // namespace

TEST_F(ListBodyUITest, AHeaderWiderThanTheBodyScrollsSidewaysWithTheRows) {
    Build(kWideHeader);
    CListUI* list = List();
    EXPECT_EQ(Row(0)->GetBounds().right - Row(0)->GetBounds().left, 600) << "rows span every column";
    EXPECT_EQ(list->GetScrollExtent().cx, 200);
    EXPECT_TRUE(list->GetHScrollBar()->IsShown());
    EXPECT_EQ(list->GetHScrollBar()->GetBounds().bottom, 300);

    // Scrolling past the range moves everything by the clamped change only.
    list->ScrollTo(SIZE{1000, 0});
    EXPECT_EQ(list->GetScrollOffset().cx, 200);
    EXPECT_EQ(Row(0)->GetBounds().left, -200);
    EXPECT_EQ(Find<CControlUI>(L"c1")->GetBounds().left, 0);
    EXPECT_EQ(list->GetListStyle()->columns[2].left, 200);
    EXPECT_EQ(Find<CControlUI>(L"cell0")->GetBounds().left, -200) << "container rows keep to their columns";

    // A new layout keeps the position, and the header keeps following it.
    Relayout(SIZE{400, 280});
    EXPECT_EQ(list->GetScrollOffset().cx, 200);
    EXPECT_EQ(Find<CControlUI>(L"c1")->GetBounds().left, 0);
    EXPECT_EQ(list->GetListStyle()->columns[1].left, 0);
    EXPECT_EQ(Row(1)->GetBounds().left, -200);
}
