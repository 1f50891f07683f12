#include "ui/basic/ProgressUI.h"

#include "BasicFixture.h"

using SkinUI::CProgressUI;

using ProgressUITest = basictest::BasicControlTest;

TEST_F(ProgressUITest, ForeImageCoversTheValuesShare) {
    constexpr DWORD kFore = 0xFF0000FF;
    UseImages({{"fore", kFore}});
    Build(R"(<HorizontalLayout>
        <Progress name="h" width="100" foreimage="fore.png" value="50"/>
        <Progress name="v" width="100" hor="false" foreimage="fore.png" value="25"/>
        <Progress name="empty" width="100" min="5" max="5" foreimage="fore.png"/>
        <Control/>
      </HorizontalLayout>)");
    auto canvas = Paint();
    // Horizontal: the left half; vertical: the bottom quarter; an empty range: nothing.
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(40, 150), kFore));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(60, 150), kFore));
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(150, 290), kFore));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(150, 200), kFore));
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{200, 0, 300, 300}, kFore), 0);
}
