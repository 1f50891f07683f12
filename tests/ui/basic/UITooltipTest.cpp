#include "ui/basic/UITooltip.h"

#include <chrono>

#include "BasicFixture.h"
#include "platform/window/Paint.h"
#include "support/MessagePump.h"

using SkinUI::CUITooltip;

using UITooltipTest = basictest::BasicControlTest;

TEST_F(UITooltipTest, OpensOverAControlWithATipAfterTheHoverDelayAndClosesWhenTheMouseMoves) {
    Build(R"(<HorizontalLayout>
        <Button name="close" width="40" tooltip="关闭"/><Button name="plain" width="40"/><Control/>
      </HorizontalLayout>)");
    CUITooltip tooltip(m_manager.get());
    m_display.MoveMouse(20, 20);
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return tooltip.IsOpen(); }, std::chrono::seconds(3)));
    EXPECT_EQ(tooltip.GetText(), L"关闭");
    const HWND popup = tooltip.GetPopup();
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(testsupport::PixelNear(platform::ShownPixel(popup, 2, 2), CUITooltip::kBackColor));
    // Onto a control without a tip closes it.
    m_display.MoveMouse(60, 20);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    EXPECT_FALSE(tooltip.IsOpen());
    EXPECT_FALSE(IsWindowVisible(popup));
}
