#include "ui/core/HorizontalLayoutUI.h"

#include <gtest/gtest.h>

#include "SkinFixture.h"

using skintest::Skin;
using SkinUI::CControlUI;
using SkinUI::CHorizontalLayoutUI;
using SkinUI::UIEventRecord;
using SkinUI::UIEventType;

TEST(HorizontalLayoutUITest, PlacesFixedFlooredAndCappedChildrenInsideAVerticalOne) {
    Skin skin(R"(<Window><VerticalLayout>
        <HorizontalLayout name="row" height="50" childpadding="10">
          <Control name="h1" width="60"/>
          <Control name="h2" minwidth="200"/>
          <Control name="h3"/>
          <Control name="h4" width="500" maxwidth="80" height="20"/>
        </HorizontalLayout>
        <Control name="below"/>
      </VerticalLayout></Window>)");
    EXPECT_RECT(skin.Bounds(L"row"), 0, 0, 400, 50);
    EXPECT_RECT(skin.Bounds(L"h1"), 0, 0, 60, 50);
    EXPECT_RECT(skin.Bounds(L"h2"), 70, 0, 270, 50);
    EXPECT_RECT(skin.Bounds(L"h3"), 280, 0, 310, 50);
    EXPECT_RECT(skin.Bounds(L"h4"), 320, 0, 400, 20);
    EXPECT_RECT(skin.Bounds(L"below"), 0, 50, 400, 300);

    // Narrower than the sized children need: the shared child gets nothing, never less.
    skin.Relayout(SIZE{300, 300});
    EXPECT_EQ(skin.Bounds(L"h3").right - skin.Bounds(L"h3").left, 0);
    EXPECT_EQ(skin.Bounds(L"h2").right - skin.Bounds(L"h2").left, 200);
}

TEST(HorizontalLayoutUITest, LeftEdgeSplitterGrowsWhenDraggedLeft) {
    Skin skin(
        R"(<HorizontalLayout><Control/><HorizontalLayout name="side" width="100" sepwidth="-4" sepimm="true" maxwidth="150"/></HorizontalLayout>)");
    EXPECT_RECT(skin.Bounds(L"side"), 300, 0, 400, 300);
    CControlUI* side = skin.Find(L"side");
    UIEventRecord down;
    down.type = UIEventType::ButtonDown;
    down.mouse = POINT{301, 10};
    side->HandleEvent(down);
    UIEventRecord move = down;
    move.type = UIEventType::MouseMove;
    move.mouse.x = 281;
    side->HandleEvent(move);
    EXPECT_EQ(side->GetPresetWidth(), 120);
    move.mouse.x = 100;
    side->HandleEvent(move);
    EXPECT_EQ(side->GetPresetWidth(), 150);
    skin.manager.UpdateLayout();
    EXPECT_RECT(skin.Bounds(L"side"), 250, 0, 400, 300);
}
