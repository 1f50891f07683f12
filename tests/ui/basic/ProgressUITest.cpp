#include "ui/basic/ProgressUI.h"

#include "BasicFixture.h"

using SkinUI::CProgressUI;

namespace {

class ProgressUITest : public basictest::BasicControlTest {};

}  // namespace

TEST_F(ProgressUITest, SetProgressIgnoresEqualAndOutOfRangeValues) {
    Build(R"(<VerticalLayout><Progress name="p" min="10" max="20" value="12"/></VerticalLayout>)");
    auto* progress = Find<CProgressUI>(L"p");
    const struct {
        int value;
        int expected;
    } cases[] = {{25, 12}, {9, 12}, {20, 20}, {10, 10}, {15, 15}, {-1, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        progress->SetProgress(c.value);
        EXPECT_EQ(progress->GetProgress(), c.expected);
    }
    // A narrower range pulls the value in.
    progress->SetMaxValue(12);
    EXPECT_EQ(progress->GetProgress(), 12);
}

TEST_F(ProgressUITest, ForeImageCoversTheValuesShare) {
    UseImages({{"fore", 0xFF0000FF}});
    Build(R"(<HorizontalLayout>
        <Progress name="h" width="100" foreimage="fore.png" value="50"/>
        <Progress name="v" width="100" hor="false" foreimage="fore.png" value="25"/>
        <Progress name="empty" width="100" min="5" max="5" foreimage="fore.png"/>
        <Control/>
      </HorizontalLayout>)");
    auto canvas = Paint();
    // Horizontal: the left half; vertical: the bottom quarter; an empty range: nothing.
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(40, 150), 0xFF0000FF));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(60, 150), 0xFF0000FF));
    EXPECT_TRUE(testsupport::PixelNear(canvas->Pixel(150, 290), 0xFF0000FF));
    EXPECT_FALSE(testsupport::PixelNear(canvas->Pixel(150, 200), 0xFF0000FF));
    EXPECT_EQ(basictest::PixelsNear(*canvas, RECT{200, 0, 300, 300}, 0xFF0000FF), 0);

    Find<CProgressUI>(L"h")->SetProgress(100);
    EXPECT_TRUE(testsupport::PixelNear(Paint()->Pixel(98, 150), 0xFF0000FF));
}
