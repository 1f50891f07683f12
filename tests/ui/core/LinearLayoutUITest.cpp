#include "ui/core/LinearLayoutUI.h"

#include <gtest/gtest.h>

#include "SkinFixture.h"

using skintest::Skin;

TEST(LinearLayoutUITest, StacksFixedSharedClampedAndPaddedChildren) {
    Skin skin(R"(<Window>
      <VerticalLayout name="root" inset="10,5,10,5" childpadding="4">
        <Control name="fixed" height="40"/>
        <Control name="a"/>
        <Control name="b" maxheight="30"/>
        <Control name="pad" height="20" padding="3,2,5,6" width="100"/>
      </VerticalLayout></Window>)");
    ASSERT_NE(skin.root, nullptr) << std::string(skin.error.begin(), skin.error.end());
    EXPECT_RECT(skin.Bounds(L"fixed"), 10, 5, 390, 45);
    // "b" stops at its ceiling, so "a" takes everything else.
    EXPECT_RECT(skin.Bounds(L"a"), 10, 49, 390, 229);
    EXPECT_RECT(skin.Bounds(L"b"), 10, 233, 390, 263);
    EXPECT_RECT(skin.Bounds(L"pad"), 13, 269, 113, 289);

    // Hiding a child gives its room to the one that shares.
    skin.Find(L"fixed")->Show(false);
    skin.manager.UpdateLayout();
    EXPECT_RECT(skin.Bounds(L"a"), 10, 5, 390, 229);

    // A floor above the share wins, and the ceiling of a sized child holds too.
    skin.Find(L"a")->SetHeightFloor(250);
    skin.Find(L"pad")->SetHeightCeiling(10);
    skin.manager.UpdateLayout();
    EXPECT_EQ(skin.Bounds(L"a").bottom - skin.Bounds(L"a").top, 250);
    EXPECT_EQ(skin.Bounds(L"pad").bottom - skin.Bounds(L"pad").top, 10);
}

TEST(LinearLayoutUITest, RowsInsideAColumnAndAnEvenShareWithTheRemainderLast) {
    Skin skin(R"(<Window><VerticalLayout>
        <HorizontalLayout name="row" height="50" childpadding="10">
          <Control name="h1" width="60"/>
          <Control name="h2" minwidth="200"/>
          <Control name="h3"/>
          <Control name="h4" width="500" maxwidth="80" height="20"/>
        </HorizontalLayout>
        <Control name="below"/>
      </VerticalLayout></Window>)");
    EXPECT_RECT(skin.Bounds(L"h1"), 0, 0, 60, 50);
    EXPECT_RECT(skin.Bounds(L"h2"), 70, 0, 270, 50);
    EXPECT_RECT(skin.Bounds(L"h3"), 280, 0, 310, 50);
    EXPECT_RECT(skin.Bounds(L"h4"), 320, 0, 400, 20);
    EXPECT_RECT(skin.Bounds(L"below"), 0, 50, 400, 300);
    // Narrower than the sized children need: the shared child gets nothing, never less.
    skin.Relayout(SIZE{300, 300});
    EXPECT_EQ(skin.Bounds(L"h3").right - skin.Bounds(L"h3").left, 0);
    EXPECT_EQ(skin.Bounds(L"h2").right - skin.Bounds(L"h2").left, 200);

    Skin even(R"(<VerticalLayout><Control name="a"/><Control name="b"/><Control name="c"/></VerticalLayout>)",
              SIZE{50, 100});
    EXPECT_RECT(even.Bounds(L"a"), 0, 0, 50, 33);
    EXPECT_RECT(even.Bounds(L"b"), 0, 33, 50, 66);
    EXPECT_RECT(even.Bounds(L"c"), 0, 66, 50, 100);
}

TEST(LinearLayoutUITest, ASizedChildClampedToNothingTakesNoShare) {
    Skin skin(R"(<HorizontalLayout>
        <Control name="shut" width="50" maxwidth="0"/><Control name="rest"/><Control name="fixed" width="100"/>
      </HorizontalLayout>)");
    ASSERT_NE(skin.root, nullptr);
    EXPECT_EQ(skin.Bounds(L"shut").right - skin.Bounds(L"shut").left, 0);
    EXPECT_RECT(skin.Bounds(L"rest"), 0, 0, 300, 300);
    EXPECT_RECT(skin.Bounds(L"fixed"), 300, 0, 400, 300);
}

TEST(LinearLayoutUITest, HostileNumbersStayWithinTheCoordinateLimit) {
    const char* skins[] = {
        R"(<VerticalLayout childpadding="2000000000" inset="-2000000000,0,2000000000,-2147483648">
             <Control name="a" height="2000000000" padding="2000000000,2000000000,2000000000,2000000000"/>
             <Control height="2000000000" minwidth="2147483647"/><Control height="2147483647"/>
             <Control name="f" float="1,1,1,1" pos="-2147483648,-2147483648,2147483647,2147483647"/>
           </VerticalLayout>)",
        R"(<HorizontalLayout childpadding="2147483647" hscrollbar="true">
             <Control name="a" width="2000000000" padding="-2000000000,0,0,0"/><Control width="2000000000"/>
             <HorizontalLayout width="2147483647" inset="2147483647,2147483647,2147483647,2147483647"><Control/></HorizontalLayout>
           </HorizontalLayout>)",
    };
    for (const char* xml : skins) {
        SCOPED_TRACE(xml);
        Skin skin(xml);
        ASSERT_NE(skin.root, nullptr);
        auto* root = static_cast<SkinUI::CContainerUI*>(skin.root);
        root->ScrollToBottom();
        root->ScrollToRightEnd();
        for (int i = 0; i < root->ChildCount(); ++i) {
            const RECT& b = root->GetChildAt(i)->GetBounds();
            for (LONG v : {b.left, b.top, b.right, b.bottom}) {
                EXPECT_LE(v, SkinUI::kCoordinateLimit);
                EXPECT_GE(v, -SkinUI::kCoordinateLimit);
            }
        }
    }
}

TEST(LinearLayoutUITest, FloatingChildrenFollowTheirAnchorsAndKeepAPlaceGivenFromCode) {
    Skin skin(R"(<VerticalLayout name="root" inset="4,4,4,4">
        <Control name="bubble" float="true" pos="10,10,50,30"/>
        <Control name="corner" float="1,1,1,1" pos="-30,-20,-10,-5"/>
        <Control name="stretched" float="0,0,1,0" pos="10,40,-10,60"/>
        <Control name="flow"/>
      </VerticalLayout>)");
    ASSERT_NE(skin.root, nullptr);
    EXPECT_RECT(skin.Bounds(L"bubble"), 14, 14, 54, 34);
    EXPECT_RECT(skin.Bounds(L"corner"), 366, 276, 386, 291);
    EXPECT_RECT(skin.Bounds(L"stretched"), 14, 44, 386, 64);
    EXPECT_RECT(skin.Bounds(L"flow"), 4, 4, 396, 296) << "floating children take no room in the flow";
    // Moved from code, as a progress bubble follows its bar.
    skin.Find(L"bubble")->SetBounds(RECT{100, 60, 160, 90});
    skin.Find(L"stretched")->SetBounds(RECT{20, 70, 300, 80});
    skin.Relayout(SIZE{400, 300});
    EXPECT_RECT(skin.Bounds(L"bubble"), 100, 60, 160, 90);
    EXPECT_RECT(skin.Bounds(L"stretched"), 20, 70, 300, 80);
    // The place holds against the anchors when the parent changes size.
    skin.Relayout(SIZE{500, 300});
    EXPECT_RECT(skin.Bounds(L"bubble"), 100, 60, 160, 90);
    EXPECT_RECT(skin.Bounds(L"stretched"), 20, 70, 400, 80) << "right edge anchored to the parent's right";
    EXPECT_RECT(skin.Bounds(L"corner"), 466, 276, 486, 291);
}
