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

// A back image that the fore image covers is not drawn; one it lets through still shows.
TEST_F(ProgressUITest, TheBackImageShowsWhereTheForeImageLetsItThrough) {
    constexpr DWORD kFore = 0xFF0000FF, kGlass = 0x800000FF, kBack = 0xFF00FF00;
    UseImages({{"fore", kFore}, {"glass", kGlass}, {"back", kBack}});
    Build(R"(<VerticalLayout>
        <Progress name="covered" height="10" bkimage="back.png" foreimage="fore.png" value="100"/>
        <Progress name="glass" height="10" bkimage="back.png" foreimage="glass.png" value="100"/>
        <Progress name="half" height="10" bkimage="back.png" foreimage="fore.png" value="50"/>
        <Control/>
      </VerticalLayout>)");
    auto canvas = Paint();
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{0, 0, 400, 10}, kFore, 0), 4000);
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(100, 15), 0xFF007F80));
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{0, 20, 200, 30}, kFore, 0), 2000);
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{200, 20, 400, 30}, kBack, 0), 2000);
}
