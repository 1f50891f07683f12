#include "ui/basic/UITooltip.h"

#include <chrono>

#include "BasicFixture.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "support/MessagePump.h"

using SkinUI::CUITooltip;

namespace {

class UITooltipTest : public basictest::BasicControlTest {
protected:
    void MoveMouse(int x, int y) {
        m_display.MoveMouse(x, y);
        testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    }
};

}  // namespace

TEST_F(UITooltipTest, OpensOverAControlWithATipAfterTheHoverDelayAndClosesWhenTheMouseMoves) {
    Build(R"(<HorizontalLayout>
        <Button name="close" width="40" tooltip="关闭"/><Button name="plain" width="40"/><Control/>
      </HorizontalLayout>)");
    CUITooltip tooltip(m_manager.get());
    MoveMouse(20, 20);
    EXPECT_FALSE(tooltip.IsOpen()) << "not before the delay";
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return tooltip.IsOpen(); }, std::chrono::seconds(3)));
    EXPECT_EQ(tooltip.GetText(), L"关闭");
    EXPECT_EQ(tooltip.GetControl(), m_manager->ControlByName(L"close"));
    EXPECT_EQ(tooltip.GetBox().top, 20 + CUITooltip::kCursorGap);
    // The pop-up shows the tip in its own colours, without taking the focus from the window.
    const HWND popup = tooltip.GetPopup();
    ASSERT_TRUE(IsWindowVisible(popup));
    EXPECT_NE(GetFocus(), popup);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(testsupport::PixelNear(platform::ShownPixel(popup, 2, 2), CUITooltip::kBackColor));
    EXPECT_TRUE(testsupport::PixelNear(platform::ShownPixel(popup, 0, 0), CUITooltip::kFrameColor));

    // Moving within the control keeps it; onto a control without a tip closes it for good.
    MoveMouse(25, 20);
    EXPECT_TRUE(tooltip.IsOpen());
    MoveMouse(60, 20);
    EXPECT_FALSE(tooltip.IsOpen());
    EXPECT_FALSE(IsWindowVisible(popup));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(SkinUI::CUIPaintManager::kHoverDelayMs + 150));
    EXPECT_FALSE(tooltip.IsOpen());

    // A press closes it; near the window's right edge the box stays inside.
    tooltip.Open(m_manager->ControlByName(L"close"), POINT{395, 20});
    EXPECT_LE(tooltip.GetBox().right, 400);
    m_display.PressButton(platform::RawInput::Button::Left);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    EXPECT_FALSE(tooltip.IsOpen());
    m_display.ReleaseButton(platform::RawInput::Button::Left);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
}
