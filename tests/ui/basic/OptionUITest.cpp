#include "ui/basic/OptionUI.h"

#include "BasicFixture.h"
#include "ui/basic/CheckBoxUI.h"

using SkinUI::COptionUI;

using OptionUITest = basictest::BasicControlTest;

TEST_F(OptionUITest, AGroupKeepsOneSelectedAndOnlyTheSelectedOneNotifies) {
    Build(R"(<HorizontalLayout>
        <Option name="a" width="50" group="g" selected="true"/><Option name="b" width="50" group="g"/>
        <Option name="loner" width="50"/><Control/>
      </HorizontalLayout>)");
    EXPECT_EQ(m_log, std::vector<std::string>{"selectchanged:a"}) << "selected from the skin";
    // A click selects b; a is unselected silently; clicking b again changes nothing.
    m_log.clear();
    Click(75, 10);
    Click(75, 10);
    EXPECT_EQ(m_log, (std::vector<std::string>{"click:b", "selectchanged:b", "click:b"}));
    EXPECT_FALSE(Find<COptionUI>(L"a")->IsSelected());
    EXPECT_TRUE(Find<COptionUI>(L"b")->IsSelected());
    // Without a group an option toggles, and both directions notify.
    Click(125, 10);
    Click(125, 10);
    EXPECT_EQ(Count("selectchanged:loner"), 2);
    EXPECT_FALSE(Find<COptionUI>(L"loner")->IsSelected());
}

TEST_F(OptionUITest, CheckBoxTogglesAndShowsItsSelectedImage) {
    UseImages({{"off", 0xFFFF0000}, {"on", 0xFF00FF00}});
    Build(R"(<HorizontalLayout>
        <CheckBox name="agree" width="40" normalimage="off.png" selectedimage="on.png"/><Control/>
      </HorizontalLayout>)");
    auto* box = Find<SkinUI::CCheckBoxUI>(L"agree");
    EXPECT_TRUE(testsupport::PixelNear(Paint()->Pixel(20, 20), 0xFFFF0000));
    Click(20, 20);
    EXPECT_TRUE(box->GetCheck());
    EXPECT_TRUE(testsupport::PixelNear(Paint()->Pixel(20, 20), 0xFF00FF00));
    Key(VK_SPACE);
    EXPECT_FALSE(box->GetCheck());
    EXPECT_TRUE(testsupport::PixelNear(Paint()->Pixel(20, 20), 0xFFFF0000));
}
