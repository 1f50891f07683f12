#include "ui/basic/OptionUI.h"

#include "BasicFixture.h"
#include "ui/basic/CheckBoxUI.h"

using SkinUI::COptionUI;

using OptionUITest = basictest::BasicControlTest;

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
