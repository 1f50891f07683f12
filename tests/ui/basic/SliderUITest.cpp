#include "ui/basic/SliderUI.h"

#include "BasicFixture.h"

using SkinUI::CSliderUI;

namespace {

class SliderUITest : public basictest::BasicControlTest {};

}  // namespace

TEST_F(SliderUITest, ThumbDragClickAndWheelMoveTheValue) {
    // Track of 200 - 10 pixels for 0..100, thumb 10 wide.
    Build(R"(<VerticalLayout>
        <Slider name="s" width="200" height="20" thumbsize="10,20" step="5"/><Control/>
      </VerticalLayout>)");
    auto* slider = Find<CSliderUI>(L"s");
    {
        // Dragging the thumb from 0 to the middle; one notification, on release.
        const RECT thumb = slider->ThumbRect();
        EXPECT_EQ(thumb.left, 0);
        Mouse(WM_LBUTTONDOWN, 5, 10, MK_LBUTTON);
        EXPECT_EQ(slider->GetProgress(), 0) << "pressing the thumb does not move it";
        Mouse(WM_MOUSEMOVE, 100, 10, MK_LBUTTON);
        EXPECT_EQ(slider->GetProgress(), 50);
        EXPECT_EQ(m_log, std::vector<std::string>{});
        Mouse(WM_MOUSEMOVE, 500, 10, MK_LBUTTON);
        EXPECT_EQ(slider->GetProgress(), 100) << "held at the end";
        Mouse(WM_LBUTTONUP, 195, 10);
        EXPECT_EQ(slider->GetProgress(), 100);
        EXPECT_EQ(m_log, std::vector<std::string>{"valuechanged:s"});
        EXPECT_EQ(slider->ThumbRect().right, 200);
    }
    {
        // A press on the track jumps there.
        m_log.clear();
        Click(43, 10);
        EXPECT_EQ(slider->GetProgress(), 20);
        EXPECT_EQ(m_log, std::vector<std::string>{"valuechanged:s"});
    }
    {
        // The wheel moves by the step; nothing changes at the end of the range.
        m_log.clear();
        Mouse(WM_MOUSEMOVE, 100, 10);
        Send(WM_MOUSEWHEEL, static_cast<WPARAM>(120u << 16));
        EXPECT_EQ(slider->GetProgress(), 25);
        slider->SetProgress(100);
        Send(WM_MOUSEWHEEL, static_cast<WPARAM>(120u << 16));
        EXPECT_EQ(slider->GetProgress(), 100);
        EXPECT_EQ(m_log, std::vector<std::string>{"valuechanged:s"});
    }
}
