#include "ui/controls/ExpandListUI.h"

#include <string>

#include "ListFixture.h"

using SkinUI::CControlUI;
using SkinUI::CExpandListUI;

namespace {

using ExpandListUITest = listtest::ListTest;

std::string ListXml(const char* tag, const char* extra = "") {
    return std::string("<HorizontalLayout><") + tag + " name=\"list\" width=\"200\" itembkcolor=\"#FF2040A0\" " +
           extra + R"(>
        <ListHeaderItem width="120" text="A"/><ListHeaderItem width="120" text="B"/>
        <ListLabelElement name="r0" height="20" text="one"/><ListLabelElement name="r1" height="20"/>
      </)" +
           tag + "><Control name=\"rest\"/></HorizontalLayout>";
}

}  // namespace

TEST_F(ExpandListUITest, BehavesAsAListWithTheSameSkin) {
    Build(ListXml("List", "hscrollbar=\"true\""));
    List()->SelectItem(1);
    List()->ScrollTo(SIZE{30, 0});
    const auto listPixels = Paint();
    Build(ListXml("ExpandList", "hscrollbar=\"true\""));
    auto* expand = Find<CExpandListUI>(L"list");
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
