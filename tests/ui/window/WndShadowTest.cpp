#include "ui/window/WndShadow.h"

#include <gtest/gtest.h>

#include <string>

#include "WindowTestScope.h"

namespace {

BYTE AlphaOf(DWORD argb) {
    return static_cast<BYTE>(argb >> 24);
}

}  // namespace

TEST(WndShadowTest, LayeredShadowSurroundsTheWindowWithFadingAlpha) {
    windowtest::HeadlessScope scope;
    windowtest::CTestWindow window;
    ASSERT_NE(window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0), nullptr);
    SetWindowPos(window.GetHWND(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    window.ShowHwnd(true, true);
    const HWND shadow = window.Shadow().GetHWND();
    ASSERT_TRUE(IsWindowVisible(shadow));
    // The shadow reaches out 5, 4, 5 and 6 pixels around the 300 x 200 window.
    RECT rect{};
    GetWindowRect(shadow, &rect);
    EXPECT_EQ(rect.left, 195);
    EXPECT_EQ(rect.top, 146);
    EXPECT_EQ(rect.right, 505);
    EXPECT_EQ(rect.bottom, 356);

    // The alpha grows towards the window on every side, and the middle is left open.
    const struct {
        const char* why;
        int outerX, outerY, innerX, innerY;
    } sides[] = {
        {"left", 0, 100, 4, 100},       {"top", 150, 0, 150, 3},         {"right", 309, 100, 305, 100},
        {"bottom", 150, 209, 150, 204}, {"top-left corner", 0, 0, 4, 3},
    };
    for (const auto& s : sides) {
        SCOPED_TRACE(s.why);
        const BYTE outer = AlphaOf(platform::ShownPixel(shadow, s.outerX, s.outerY));
        const BYTE inner = AlphaOf(platform::ShownPixel(shadow, s.innerX, s.innerY));
        EXPECT_GT(outer, 0);
        EXPECT_LT(outer, inner);
        EXPECT_LE(inner, 0x80);
    }
    EXPECT_EQ(platform::ShownPixel(shadow, 155, 105), 0u) << "no shadow under the window itself";
    EXPECT_EQ(platform::ShownPixel(shadow, 5, 4), 0u);
    UpdateWindow(window.GetHWND());
    EXPECT_EQ(AlphaOf(platform::ShownPixel(window.GetHWND(), 150, 100)), 0xFF) << "the window stays opaque";
}
