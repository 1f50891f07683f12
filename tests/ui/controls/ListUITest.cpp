#include "ui/controls/ListUI.h"

#include <string>

#include "ListFixture.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/controls/ExpandListUI.h"

using SkinUI::CControlUI;
using SkinUI::CListUI;
using SkinUI::IListItemUI;

namespace {

using ListUITest = listtest::ListTest;

std::string Rows(int count) {
    std::string rows;
    for (int i = 0; i < count; ++i)
        rows += "<ListLabelElement name=\"r" + std::to_string(i) + "\" height=\"20\"/>";
    return rows;
}

IListItemUI* Item(CControlUI* control) {
    return static_cast<IListItemUI*>(control->QueryFacet(L"ListItem"));
}

// A label row that can be expanded.
class CExpandableRowUI : public SkinUI::CListLabelElementUI {
public:
    bool IsExpanded() const override { return m_expanded; }
    bool Expand(bool expand = true) override {
        m_expanded = expand;
        return true;
    }

private:
    bool m_expanded = false;
};

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

std::string ListXml(const char* tag, const char* extra = "") {
    return std::string("<HorizontalLayout><") + tag + " name=\"list\" width=\"200\" itembkcolor=\"#FF2040A0\" " +
           extra + R"(>
        <ListHeaderItem width="120" text="A"/><ListHeaderItem width="120" text="B"/>
        <ListLabelElement name="r0" height="20" text="one"/><ListLabelElement name="r1" height="20"/>
      </)" +
           tag + "><Control name=\"rest\"/></HorizontalLayout>";
}

}  // namespace

TEST_F(ListUITest, SkinXmlRoutesHeadersItemsAndRowsAndConfiguresTheBody) {
    Build(R"(<VerticalLayout>
        <List name="list" hscrollbar="true" vscrollbar="true" vscrollbarstyle="width='10'" childpadding="2"
              itemalign="right center">
          <ListHeader name="hdr" height="24">
            <ListHeaderItem name="c0" width="100"/><ListHeaderItem name="c1" width="150"/>
          </ListHeader>
          <ListLabelElement name="r0" height="20"/>
          <ListTextElement name="r1" height="20"/>
          <ListContainerElement name="r2" height="20"><Control/><Control/></ListContainerElement>
          <Control name="plain" height="20"/>
        </List>
      </VerticalLayout>)");
    CListUI* list = List();
    // The skin's header took the place of the list's own empty one, as child 0.
    EXPECT_EQ(list->GetHeaderControl(), Find<CControlUI>(L"hdr"));
    EXPECT_EQ(list->CContainerUI::ChildCount(), 2);
    EXPECT_EQ(list->CContainerUI::GetChildAt(1), list->GetBodyContainer());
    ASSERT_EQ(list->ChildCount(), 4);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(Item(Row(i)), nullptr);
        EXPECT_EQ(Item(Row(i))->GetItemIndex(), i);
        EXPECT_EQ(Item(Row(i))->GetOwner(), static_cast<SkinUI::IListOwnerUI*>(list));
    }
    EXPECT_EQ(Item(Row(3)), nullptr) << "a plain control is laid out but never numbered";

    // Both bars survive "hscrollbar" then "vscrollbar", and their vocabulary reaches the body.
    ASSERT_NE(list->GetHScrollBar(), nullptr);
    EXPECT_EQ(list->GetBodyContainer()->GetVScrollBar()->GetPresetWidth(), 10);
    EXPECT_EQ(Row(1)->GetBounds().top, Row(0)->GetBounds().bottom + 2);

    // "right center": every word applies in the order left, center, right.
    EXPECT_EQ(list->GetListStyle()->textStyle & (DT_CENTER | DT_RIGHT), DT_RIGHT);
    EXPECT_EQ(list->GetListStyle()->columns[1].left, Find<CControlUI>(L"c1")->GetBounds().left);
}

TEST_F(ListUITest, HeaderItemsBeyondThirtyTwoGetNoColumn) {
    std::string items;
    for (int i = 0; i < 40; ++i)
        items += "<ListHeaderItem name=\"c" + std::to_string(i) + "\" width=\"20\"/>";
    Build("<VerticalLayout><List name=\"list\">" + items + Rows(1) + "</List></VerticalLayout>");
    CListUI* list = List();
    EXPECT_EQ(list->GetHeaderControl()->ChildCount(), 40);
    EXPECT_EQ(list->GetListStyle()->columnCount, 32);
    EXPECT_EQ(list->GetListStyle()->columns[31].left, 620);
    const RECT last = Find<CControlUI>(L"c39")->GetBounds();
    EXPECT_EQ(last.left, 780) << "laid out by the header all the same";
    EXPECT_EQ(Row(0)->GetBounds().right - Row(0)->GetBounds().left, 800) << "as wide as all 40 items";
}

TEST_F(ListUITest, SelectionFollowsInsertionsMovesAndRemovals) {
    Build("<VerticalLayout><List name=\"list\">" + Rows(5) + "</List></VerticalLayout>");
    CListUI* list = List();
    // Quiet cases: the same index, and -1 with nothing selected.
    EXPECT_TRUE(list->SelectItem(-1));
    EXPECT_TRUE(list->SelectItem(2));
    EXPECT_EQ(TakeLog(), "itemselect:list:2:-1");
    EXPECT_TRUE(list->SelectItem(2));
    EXPECT_EQ(TakeLog(), "");
    // -1 deselects and reports false, without a notification.
    EXPECT_FALSE(list->SelectItem(-1));
    EXPECT_EQ(list->GetSelectedIndex(), -1);
    EXPECT_FALSE(Item(Find<CControlUI>(L"r2"))->IsSelected());
    EXPECT_EQ(TakeLog(), "");

    list->SelectItem(2);
    CControlUI* selected = Row(2);
    auto* inserted = new SkinUI::CListLabelElementUI();
    ASSERT_TRUE(list->InsertChildAt(inserted, 2));
    EXPECT_EQ(list->GetSelectedIndex(), 3);
    ASSERT_TRUE(list->InsertChildAt(new SkinUI::CListLabelElementUI(), 5));
    EXPECT_EQ(list->GetSelectedIndex(), 3) << "an insertion after the selection leaves it";
    ASSERT_TRUE(list->MoveChildTo(selected, 0));
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    for (int i = 0; i < list->ChildCount(); ++i)
        EXPECT_EQ(Item(Row(i))->GetItemIndex(), i);
    ASSERT_TRUE(list->RemoveChild(inserted));
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    ASSERT_TRUE(list->RemoveChildAt(1));
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    EXPECT_EQ(Item(Row(3))->GetItemIndex(), 3);
}

TEST_F(ListUITest, RemovingTheSelectedRowSelectsANeighbour) {
    const struct {
        const char* why;
        const char* hidden;    // rows made hidden before the removal
        const char* disabled;  // rows made unusable
        int select, expected;
    } cases[] = {
        {"the row that moves into the index", "", "", 2, 2},
        {"the new last row when the last one goes", "", "", 5, 4},
        {"the nearest one before when the next is hidden", "r3", "", 2, 1},
        {"else the first selectable one after", "r3", "r0 r1", 2, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Build("<VerticalLayout><List name=\"list\">" + Rows(6) + "</List></VerticalLayout>");
        CListUI* list = List();
        for (int i = 0; i < 6; ++i) {
            const std::string name = "r" + std::to_string(i);
            if (std::string(c.hidden).find(name) != std::string::npos) Row(i)->Show(false);
            if (std::string(c.disabled).find(name) != std::string::npos) Row(i)->SetUsable(false);
        }
        ASSERT_TRUE(list->SelectItem(c.select));
        TakeLog();
        ASSERT_TRUE(list->RemoveChildAt(c.select));
        EXPECT_EQ(list->GetSelectedIndex(), c.expected);
        EXPECT_EQ(TakeLog(), "itemselect:list:" + std::to_string(c.expected) + ":-1");
        EXPECT_TRUE(Item(Row(c.expected))->IsSelected());
    }
}

TEST_F(ListUITest, RowsWithoutAHeightShareExactlyWhatTheOthersLeave) {
    // 101 high, less 20 + margins 3 and 5 + two gaps of 4: 65 left for two rows, 32 and 33.
    Build(R"(<VerticalLayout><List name="list" height="101" header="hidden" childpadding="4">
        <ListLabelElement name="r0" height="20" padding="0,3,0,5"/>
        <ListContainerElement name="r1"/><ListContainerElement name="r2"/>
      </List><Control/></VerticalLayout>)");
    const RECT body = List()->GetBounds();
    const RECT r1 = Row(1)->GetBounds();
    const RECT r2 = Row(2)->GetBounds();
    EXPECT_EQ(r1.bottom - r1.top, 32);
    EXPECT_EQ(r2.top, r1.bottom + 4);
    EXPECT_EQ(r2.bottom - r2.top, 33) << "the last stretching row takes the odd pixel";
    EXPECT_EQ(r2.bottom, body.bottom) << "nothing left over, nothing cut off";
}

TEST_F(ListUITest, KeysMoveTheSelectionOverRowsThatCannotBeSelected) {
    Build("<VerticalLayout><List name=\"list\" height=\"80\" vscrollbar=\"true\" header=\"hidden\">" + Rows(10) +
          "</List><Control/></VerticalLayout>");
    CListUI* list = List();
    Row(1)->SetUsable(false);
    Row(9)->Show(false);
    // A press gives the row the focus, so the keys reach the list through it.
    Click(50, 10);
    EXPECT_EQ(m_manager->GetFocusControl(), Row(0));
    EXPECT_EQ(TakeLog(), "itemclick:r0:0:0 itemselect:list:0:-1");
    Key(VK_DOWN);
    EXPECT_EQ(list->GetSelectedIndex(), 2) << "over the disabled row";
    EXPECT_EQ(m_manager->GetFocusControl(), Row(2));
    Key(VK_UP);
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    // Down to the last shown row: each step keeps the selected row inside the body.
    for (int i = 0; i < 7; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(list->GetSelectedIndex(), 8);
    EXPECT_EQ(Row(8)->GetBounds().bottom, list->GetBodyContainer()->GetBounds().bottom);
    EXPECT_EQ(list->GetScrollOffset().cy, 100);
    Key(VK_HOME);
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    EXPECT_EQ(list->GetScrollOffset().cy, 0);
    TakeLog();
    Key(VK_RETURN);
    EXPECT_EQ(TakeLog(), "itemactivate:r0:0:0");
    // End looks only at the last row, which is hidden: nothing stays selected.
    Key(VK_END);
    EXPECT_EQ(list->GetSelectedIndex(), -1);
}

TEST_F(ListUITest, SmoothScrollingSlowsToAStopAndStopsAtTheRange) {
    // 20 rows of 20 in a body 100 high: 300 pixels to scroll.
    Build("<VerticalLayout><List name=\"list\" height=\"100\" vscrollbar=\"true\" header=\"hidden\">" + Rows(20) +
          "</List><Control/></VerticalLayout>");
    CListUI* list = List();
    ASSERT_EQ(list->GetScrollExtent().cy, 300);
    const auto run = [&] {
        std::vector<int> offsets;
        for (int tick = 0; tick < 20 && (tick == 0 || list->SmoothScrollAmount() != 0); ++tick) {
            Advance(CListUI::kSmoothScrollIntervalMs);
            offsets.push_back(list->GetScrollOffset().cy);
        }
        return offsets;
    };
    // One notch toward the user: 8 pixels over 10 ticks, each tick A * (R/T)^2, until a step is 0.
    Wheel(50, 50, -1);
    EXPECT_EQ(run(), (std::vector<int>{6, 11, 14, 16, 18, 19, 19}));
    EXPECT_EQ(list->SmoothScrollAmount(), 0);
    Advance(100);
    EXPECT_EQ(list->GetScrollOffset().cy, 19) << "the timer stopped with the animation";

    // At the top, a notch away stops at the first tick; near the end the range stops it.
    list->ScrollTo(SIZE{0, 0});
    Wheel(50, 50, 1);
    EXPECT_EQ(run(), (std::vector<int>{0}));
    list->ScrollTo(SIZE{0, 297});
    Wheel(50, 50, -1);
    EXPECT_EQ(run(), (std::vector<int>{300, 300}));
    EXPECT_EQ(list->SmoothScrollAmount(), 0);
}

TEST_F(ListUITest, OneRowIsExpandedAndTheIndexFollowsItsRow) {
    SkinUI::CUIControlFactory::Instance().Register(L"ExpandableRow",
                                                   []() -> CControlUI* { return new CExpandableRowUI(); });
    std::string rows;
    for (int i = 0; i < 5; ++i)
        rows += "<ExpandableRow name=\"r" + std::to_string(i) + "\" height=\"20\"/>";
    Build("<VerticalLayout><List name=\"list\">" + rows + "</List></VerticalLayout>");
    CListUI* list = List();
    const auto expanded = [&](int i) { return Item(Row(i))->IsExpanded(); };
    ASSERT_TRUE(list->ExpandItem(1));
    ASSERT_TRUE(list->ExpandItem(3));
    EXPECT_FALSE(expanded(1)) << "without multi-expand the other row folds first";
    EXPECT_EQ(list->GetExpandedIndex(), 3);

    // The index stays with its row through insertions, moves and removals.
    list->ExpandItem(2);
    CControlUI* row = Row(2);
    list->InsertChildAt(new CExpandableRowUI(), 0);
    EXPECT_EQ(list->GetExpandedIndex(), 3);
    list->MoveChildTo(row, 5);
    EXPECT_EQ(list->GetExpandedIndex(), 5);
    list->RemoveChildAt(0);
    EXPECT_EQ(list->GetExpandedIndex(), 4);
    EXPECT_EQ(Row(4), row);
    list->RemoveChild(row);
    EXPECT_EQ(list->GetExpandedIndex(), -1);
}

TEST_F(ListUITest, AHeaderWiderThanTheBodyScrollsSidewaysWithTheRows) {
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

TEST_F(ListUITest, AnExpandableListBehavesAsAListWithTheSameSkin) {
    Build(ListXml("List", "hscrollbar=\"true\""));
    List()->SelectItem(1);
    List()->ScrollTo(SIZE{30, 0});
    const auto listPixels = Paint();
    Build(ListXml("ExpandList", "hscrollbar=\"true\""));
    auto* expand = Find<SkinUI::CExpandListUI>(L"list");
    EXPECT_STREQ(expand->GetClassTag(), L"ListUI");
    expand->SelectItem(1);
    expand->ScrollTo(SIZE{30, 0});
    const auto expandPixels = Paint();
    for (int y = 0; y < 80; y += 3) {
        for (int x = 0; x < 200; x += 3)
            ASSERT_EQ(listPixels->Pixel(x, y), expandPixels->Pixel(x, y)) << x << "," << y;
    }
    TakeLog();
    Click(50, Row(0)->GetBounds().top + 5);
    EXPECT_EQ(TakeLog(), "itemclick:r0:0:0 itemselect:list:0:1");
}
