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

TEST_F(ListBodyUITest, VerticalScrollingLeavesTheHeaderAlone) {
    std::string rows;
    for (int i = 0; i < 30; ++i)
        rows += "<ListTextElement height=\"20\"/>";
    Build(R"(<VerticalLayout><List name="list" vscrollbar="true"><ListHeader height="20">
        <ListHeaderItem name="c0" width="100"/></ListHeader>)" +
          rows + "</List></VerticalLayout>");
    CListUI* list = List();
    // 600 of rows in 280: the bar takes its width off the rows.
    EXPECT_EQ(list->GetScrollExtent().cy, 320);
    EXPECT_EQ(Row(0)->GetBounds().right, 400 - list->GetVScrollBar()->GetPresetWidth());
    list->ScrollTo(SIZE{0, 1000});
    EXPECT_EQ(list->GetScrollOffset().cy, 320);
    EXPECT_EQ(Row(29)->GetBounds().bottom, 300);
    EXPECT_EQ(Find<CControlUI>(L"c0")->GetBounds().top, 0);
    // Laid out again (the window grows), the rows stay where the bar says.
    Relayout(SIZE{400, 400});
    EXPECT_EQ(list->GetScrollOffset().cy, 220);
    EXPECT_EQ(Row(29)->GetBounds().bottom, 400);
}
