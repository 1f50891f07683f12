#include "ui/basic/SliderUI.h"

#include <limits>

#include "BasicFixture.h"

using SkinUI::CSliderUI;

using SliderUITest = basictest::BasicControlTest;

TEST_F(SliderUITest, ThumbDragClickAndWheelMoveTheValue) {
    // Track of 200 - 10 pixels for 0..100, thumb 10 wide.
    Build(R"(<VerticalLayout>
        <Slider name="s" width="200" height="20" thumbsize="10,20" step="5"/><Control/>
      </VerticalLayout>)");
    auto* slider = Find<CSliderUI>(L"s");
    // Dragging the thumb past the end; one notification, on release.
    Mouse(WM_LBUTTONDOWN, 5, 10, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, 100, 10, MK_LBUTTON);
    EXPECT_EQ(slider->GetProgress(), 50);
    Mouse(WM_MOUSEMOVE, 500, 10, MK_LBUTTON);
    EXPECT_EQ(slider->GetProgress(), 100) << "held at the end";
    EXPECT_EQ(m_log, std::vector<std::string>{});
    Mouse(WM_LBUTTONUP, 195, 10);
    EXPECT_EQ(m_log, std::vector<std::string>{"valuechanged:s"});
    // A press on the track jumps there; the wheel moves by the step.
    Click(43, 10);
    EXPECT_EQ(slider->GetProgress(), 20);
    Mouse(WM_MOUSEMOVE, 100, 10);
    Send(WM_MOUSEWHEEL, static_cast<WPARAM>(120u << 16));
    EXPECT_EQ(slider->GetProgress(), 25);
}

TEST_F(SliderUITest, DegenerateRangesSizesAndTheEndsOfTheIntRangeKeepTheValueInRange) {
    Build(R"(<VerticalLayout>
        <Slider name="s" width="200" height="20" thumbsize="10,20" min="-2147483648" max="2147483647"
                value="2147483647" step="2147483647"/>
        <Control/>
      </VerticalLayout>)");
    auto* slider = Find<CSliderUI>(L"s");
    Mouse(WM_MOUSEMOVE, 100, 10);
    Send(WM_MOUSEWHEEL, static_cast<WPARAM>(120u << 16));
    EXPECT_EQ(slider->GetProgress(), std::numeric_limits<int>::max());
    for (int expected : {0, -std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        Send(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-120)) << 16);
        EXPECT_EQ(slider->GetProgress(), expected);
    }

    // A range of one value and a track no wider than the thumb.
    Build(R"(<VerticalLayout>
        <Slider name="flat" width="200" height="20" min="5" max="5" value="5" thumbsize="10,20"/>
        <Slider name="narrow" width="10" height="20" thumbsize="10,20" value="30"/>
        <Control/>
      </VerticalLayout>)");
    for (const wchar_t* name : {L"flat", L"narrow"}) {
        SCOPED_TRACE(basictest::Narrow(name));
        auto* degenerate = Find<CSliderUI>(name);
        const RECT b = degenerate->GetBounds();
        Drag(POINT{b.left + 2, b.top + 10}, POINT{b.right + 50, b.top + 10});
        Send(WM_MOUSEWHEEL, static_cast<WPARAM>(120u << 16));
        EXPECT_GE(degenerate->GetProgress(), degenerate->GetMinValue());
        EXPECT_LE(degenerate->GetProgress(), degenerate->GetMaxValue());
        const RECT thumb = degenerate->ThumbRect();
        EXPECT_EQ(thumb.right - thumb.left, 10);
        Paint();
    }
}
