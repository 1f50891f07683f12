#include "ui/core/TabLayoutUI.h"

#include <gtest/gtest.h>

#include <tuple>

#include "SkinFixture.h"

using skintest::Skin;
using SkinUI::CControlUI;
using SkinUI::CTabLayoutUI;

TEST(TabLayoutUITest, ShowsOnePageAtATime) {
    Skin skin(R"(<TabLayout name="tabs" selectedid="1" inset="5,5,5,5">
        <Control name="p0"/><Control name="p1"/><Control name="p2"/>
      </TabLayout>)");
    auto* tabs = static_cast<CTabLayoutUI*>(skin.Find(L"tabs"));
    EXPECT_EQ(tabs->CurrentPage(), 1);
    EXPECT_FALSE(skin.Find(L"p0")->IsShown());
    EXPECT_TRUE(skin.Find(L"p1")->IsShown());
    EXPECT_RECT(skin.Bounds(L"p1"), 5, 5, 395, 295);

    EXPECT_TRUE(tabs->ShowPage(2));
    skin.manager.UpdateLayout();
    EXPECT_TRUE(skin.Find(L"p2")->IsShown());
    EXPECT_FALSE(skin.Find(L"p1")->IsShown());
    EXPECT_RECT(skin.Bounds(L"p2"), 5, 5, 395, 295);
    EXPECT_FALSE(tabs->ShowPage(3));
    EXPECT_FALSE(tabs->ShowPage(-1));
    EXPECT_EQ(tabs->CurrentPage(), 2);

    // Removing the shown page shows the one that takes its place.
    EXPECT_TRUE(tabs->RemoveChildAt(2));
    EXPECT_EQ(tabs->CurrentPage(), 1);
    EXPECT_TRUE(skin.Find(L"p1")->IsShown());
    // A page inserted before the shown one keeps the same page shown.
    auto* extra = new CControlUI();
    EXPECT_TRUE(tabs->InsertChildAt(extra, 0));
    EXPECT_FALSE(extra->IsShown());
    EXPECT_EQ(tabs->CurrentPage(), 2);
    EXPECT_TRUE(skin.Find(L"p1")->IsShown());

    // Reordering the pages keeps the shown page current.
    for (const auto& [moved, to, current] : {std::tuple{L"p1", 0, 0}, std::tuple{L"p0", 0, 1}}) {
        SCOPED_TRACE(testing::Message() << "move to " << to);
        EXPECT_TRUE(tabs->MoveChildTo(skin.Find(moved), to));
        EXPECT_EQ(tabs->CurrentPage(), current);
        EXPECT_EQ(tabs->GetChildAt(tabs->CurrentPage()), skin.Find(L"p1"));
    }
}
