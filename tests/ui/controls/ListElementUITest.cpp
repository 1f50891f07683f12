#include "ui/controls/ListElementUI.h"

#include <string>
#include <utility>
#include <vector>

#include "ListFixture.h"
#include "ui/controls/ListContainerElementUI.h"
#include "ui/controls/ListTextElementUI.h"

using SkinUI::CControlUI;
using SkinUI::CListTextElementUI;
using SkinUI::IListItemUI;
using testsupport::PixelNear;

namespace {

using ListElementUITest = listtest::ListTest;

IListItemUI* Item(CControlUI* control) {
    return static_cast<IListItemUI*>(control->QueryFacet(L"ListItem"));
}

// Five links in every cell; remembers which cells it was asked for.
class CLinkTexts : public SkinUI::IListTextProvider {
public:
    std::wstring GetItemText(CControlUI* /*row*/, int index, int column) override {
        asked.emplace_back(index, column);
        return L"{a}a{/a} {a}b{/a} {a}c{/a} {a}d{/a} {a}e{/a}";
    }
    std::vector<std::pair<int, int>> asked;
};

}  // namespace

TEST_F(ListElementUITest, RowColoursImagesAndLinesOnThePixels) {
    UseImages({{"sel", 0xFFFFFF00}, {"own", 0xFFFF00FF}});
    Build(R"(<VerticalLayout bkcolor="#FFFFFFFF">
        <List name="list" header="hidden" itemaltbk="true" itembkcolor="#FF2040A0" itemhotbkcolor="#FF30C030"
              itemselectedbkcolor="#FFC03030" itemdisabledbkcolor="#FF808080" itemlinecolor="#FF000000"
              itemselectedimage="sel.png">
          <ListLabelElement name="r0" height="20"/>
          <ListLabelElement name="r1" height="20"/>
          <ListLabelElement name="r2" height="20" bkimage="own.png"/>
          <ListLabelElement name="r3" height="20" bkimage="own.png"/>
          <ListLabelElement name="r4" height="20"/>
          <ListLabelElement name="r5" height="20"/>
          <ListLabelElement name="r6" height="20" enabled="false"/>
        </List>
      </VerticalLayout>)");
    Mouse(WM_MOUSEMOVE, 200, 90);
    ASSERT_NE(Find<SkinUI::CListElementUI>(L"r4")->GetState() & SkinUI::CListElementUI::kStateHot, 0u);
    List()->SelectItem(5);
    const auto canvas = Paint();
    const struct {
        const char* why;
        DWORD fill;
        DWORD line;  // the row's last pixel row
    } rows[] = {
        {"an even row", 0xFF2040A0, 0xFF000000},
        {"an odd row has no colour", 0xFFFFFFFF, 0xFF000000},
        {"the row's own image, on an even row", 0xFFFF00FF, 0xFF000000},
        {"no own image on an odd row", 0xFFFFFFFF, 0xFF000000},
        {"hot", 0xFF30C030, 0xFF000000},
        {"the selected image ends the background: no line", 0xFFFFFF00, 0xFFFFFF00},
        {"disabled", 0xFF808080, 0xFF000000},
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(rows[i].why);
        EXPECT_TRUE(PixelNear(canvas->Pixel(200, i * 20 + 10), rows[i].fill));
        EXPECT_TRUE(PixelNear(canvas->Pixel(200, i * 20 + 19), rows[i].line));
    }
}

TEST_F(ListElementUITest, TextRowsDrawCellsFromTheProviderAndKeepEightLinks) {
    Build(R"(<VerticalLayout><List name="list" itemshowhtml="true">
        <ListHeader height="20"><ListHeaderItem width="200"/><ListHeaderItem width="200"/></ListHeader>
        <ListTextElement name="r0" height="24"/>
      </List></VerticalLayout>)");
    CLinkTexts provider;
    List()->SetTextProvider(&provider);
    auto* row = Find<CListTextElementUI>(L"r0");
    Paint();
    EXPECT_EQ(provider.asked, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}}));
    ASSERT_EQ(row->LinkCount(), 8) << "ten links, the first eight kept";
    EXPECT_LT(row->LinkRect(4).right, 200);
    EXPECT_GE(row->LinkRect(5).left, 200);

    const auto centre = [](const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
    const POINT link1 = centre(row->LinkRect(1));
    m_display.MoveMouse(link1.x, link1.y);
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_hwnd), MAKELPARAM(1, WM_MOUSEMOVE));
    EXPECT_EQ(m_manager->GetCursorShape(), SkinUI::UICursor::Hand);
    Click(link1.x, link1.y);
    EXPECT_EQ(TakeLog(), "itemclick:r0:0:0 itemselect:list:0:-1 link:r0:1:0");

    // The ninth link lies one link further on than the eighth; clicking it raises no "link".
    const RECT seventh = row->LinkRect(6);
    const RECT eighth = row->LinkRect(7);
    const int ninth = eighth.right + (eighth.left - seventh.right) + (eighth.right - eighth.left) / 2;
    Click(ninth, link1.y);
    EXPECT_EQ(TakeLog(), "itemclick:r0:0:0");
}

TEST_F(ListElementUITest, ContainerRowsFillTheirColumnsAndReportTheMouse) {
    Build(R"(<VerticalLayout><List name="list">
        <ListHeader height="20"><ListHeaderItem width="100"/><ListHeaderItem width="120"/><ListHeaderItem width="80"/></ListHeader>
        <ListContainerElement name="three" height="30" inset="2,3,4,5">
          <Control name="a" mouse="false"/><Control name="b" mouse="false"/><Control name="c" mouse="false"/>
        </ListContainerElement>
        <ListContainerElement name="two" height="30"><Control name="d"/><Control name="e"/></ListContainerElement>
      </List></VerticalLayout>)");
    const RECT row = Find<CControlUI>(L"three")->GetBounds();
    EXPECT_EQ(Find<CControlUI>(L"a")->GetBounds(), (RECT{2, row.top + 3, 100, row.bottom - 5}));
    EXPECT_EQ(Find<CControlUI>(L"b")->GetBounds(), (RECT{100, row.top + 3, 220, row.bottom - 5}));
    EXPECT_EQ(Find<CControlUI>(L"c")->GetBounds(), (RECT{220, row.top + 3, 296, row.bottom - 5}));
    // Two children in three columns: laid out as a plain container, over the whole row.
    const RECT other = Find<CControlUI>(L"two")->GetBounds();
    EXPECT_EQ(Find<CControlUI>(L"e")->GetBounds(), other);

    Mouse(WM_MOUSEMOVE, 150, row.top + 10);
    EXPECT_EQ(TakeLog(), "itemhover:three:0:0");
    Mouse(WM_MOUSEMOVE, 150, other.top + 10);
    EXPECT_EQ(TakeLog(), "itemleave:three:0:0 itemhover:two:0:0");
}

TEST_F(ListElementUITest, RowsSelectOnlyWhatTheListAccepts) {
    Build(R"(<VerticalLayout><List name="list" header="hidden">
        <ListLabelElement name="r0" height="20"/><ListLabelElement name="r1" height="20"/>
        <ListLabelElement name="r2" height="20" selected="false"/><ListLabelElement name="r3" height="20"/>
      </List></VerticalLayout>)");
    // "selected" selects whatever its value, and the list takes such a row as its selection.
    EXPECT_EQ(List()->GetSelectedIndex(), 2);
    EXPECT_TRUE(Item(Row(2))->IsSelected());
    TakeLog();
    Click(50, 30);
    EXPECT_FALSE(Item(Row(2))->IsSelected()) << "one selected row at a time";
    EXPECT_EQ(TakeLog(), "itemclick:r1:0:0 itemselect:list:1:2");

    // Selecting again is quiet; a disabled row refuses; a hidden one is refused by the list.
    EXPECT_TRUE(Item(Row(1))->Select(true));
    Row(3)->SetUsable(false);
    EXPECT_FALSE(Item(Row(3))->Select(true));
    Row(3)->SetUsable(true);
    Row(3)->Show(false);
    EXPECT_FALSE(Item(Row(3))->Select(true)) << "the list refused it, so the row says so";
    EXPECT_FALSE(Item(Row(3))->IsSelected());
    EXPECT_EQ(List()->GetSelectedIndex(), -1) << "the list lost its selection on the way";
    EXPECT_EQ(TakeLog(), "");

    // A selected row that became disabled still lets go when another row takes the selection.
    Row(3)->Show(true);
    ASSERT_TRUE(List()->SelectItem(0));
    Row(0)->SetUsable(false);
    ASSERT_TRUE(List()->SelectItem(1));
    EXPECT_FALSE(Item(Row(0))->IsSelected());
    EXPECT_TRUE(Item(Row(1))->IsSelected());
}
