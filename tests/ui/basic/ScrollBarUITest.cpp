#include "ui/basic/ScrollBarUI.h"

#include "BasicFixture.h"
#include "ui/core/VerticalLayoutUI.h"

using SkinUI::CScrollBarUI;
using SkinUI::CVerticalLayoutUI;

using ScrollBarUITest = basictest::BasicControlTest;

// Five rows of 40 in a list 100 high: 100 pixels to scroll.
const char kList[] = R"(<VerticalLayout><VerticalLayout name="list" vscrollbar="true" height="100">
    <Control height="40"/><Control height="40"/><Control height="40"/><Control height="40"/><Control height="40"/>
  </VerticalLayout><Control/></VerticalLayout>)";

TEST_F(ScrollBarUITest, ExtentAndOffsetClampAndMoveTheThumb) {
    Build(R"(<HorizontalLayout><ScrollBar name="bar" width="16" height="100"/><Control/></HorizontalLayout>)");
    auto* bar = Find<CScrollBarUI>(L"bar");
    // Arrows of 16 at both ends leave a track of 68 from y 16.
    const struct {
        const char* step;
        int extent, offset, expectedExtent, expectedOffset;
    } cases[] = {
        {"negative range", -5, 0, 0, 0},
        {"negative offset", 100, -3, 100, 0},
        {"a small range, the offset past it", 10, 40, 10, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        bar->SetExtent(c.extent);
        bar->SetOffset(c.offset);
        EXPECT_EQ(bar->GetExtent(), c.expectedExtent);
        EXPECT_EQ(bar->GetOffset(), c.expectedOffset);
    }
    // Range 10 on a bar 100 long: the thumb is 68 * 100 / 110 long and sits at the end.
    EXPECT_EQ(bar->ThumbRect().bottom, 84);
    EXPECT_EQ(bar->ThumbRect().bottom - bar->ThumbRect().top, 61);
}

TEST_F(ScrollBarUITest, ContainerBarFollowsTheContentAndScrollsItsOwner) {
    Build(kList);
    auto* list = Find<CVerticalLayoutUI>(L"list");
    CScrollBarUI* bar = list->GetVScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetExtent(), 100);
    // The lower arrow scrolls a line, the rail below the thumb a page.
    Click(392, 95);
    EXPECT_EQ(list->GetScrollOffset().cy, m_manager->DefaultFontHeight() + 8);
    Click(392, 80);
    EXPECT_EQ(list->GetScrollOffset().cy, 100);
    EXPECT_EQ(list->GetChildAt(4)->GetBounds().bottom, 100);
    // Dragging the thumb back up past the top.
    const RECT thumb = bar->ThumbRect();
    const int middle = (thumb.top + thumb.bottom) / 2;
    Drag(POINT{392, middle}, POINT{392, middle - 200});
    EXPECT_EQ(list->GetScrollOffset().cy, 0);
    EXPECT_EQ(bar->ThumbRect().top, 16);
    // When everything fits, the bar goes and the rows get its width back.
    list->SetPresetHeight(250);
    m_manager->UpdateLayout();
    EXPECT_FALSE(bar->IsShown());
    EXPECT_EQ(list->GetChildAt(0)->GetBounds().right, 400);
    // Turning the bar off deletes it; the manager forgets it.
    list->ApplyAttribute(L"vscrollbar", L"false");
    EXPECT_EQ(list->GetVScrollBar(), nullptr);
    m_manager->UpdateLayout();
    Click(392, 50);
}

TEST_F(ScrollBarUITest, ArrowRepeatStopsWhenThePressIsLost) {
    Build(kList);
    auto* list = Find<CVerticalLayoutUI>(L"list");
    Mouse(WM_MOUSEMOVE, 392, 95);
    Mouse(WM_LBUTTONDOWN, 392, 95, MK_LBUTTON);
    const int afterPress = list->GetScrollOffset().cy;
    EXPECT_GT(afterPress, 0);
    Send(WM_TIMER, SkinUI::CUIPaintManager::kFirstControlTimerId);
    EXPECT_GT(list->GetScrollOffset().cy, afterPress) << "held down, the arrow repeats";
    const int held = list->GetScrollOffset().cy;
    // Focus goes elsewhere before the button comes up: the bar must not scroll on by itself.
    Send(WM_KILLFOCUS, 0);
    Send(WM_TIMER, SkinUI::CUIPaintManager::kFirstControlTimerId);
    Send(WM_TIMER, SkinUI::CUIPaintManager::kFirstControlTimerId);
    EXPECT_EQ(list->GetScrollOffset().cy, held);
}
