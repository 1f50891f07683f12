#include "ui/window/WndShadow.h"

#include <gtest/gtest.h>

#include <string>

#include "WindowTestScope.h"
#include "platform/window/WindowClass.h"

using SkinUI::CWndShadow;
using windowtest::AlphaOf;
using windowtest::RectOf;

namespace {

class CShadowedWindow : public SkinUI::WindowImplBase {
protected:
    LPCWSTR RegisteredClassName() const override { return L"ShadowTestWindow"; }
    std::wstring SkinFileName() const override { return L"CoreWindow.xml"; }
};

}  // namespace

TEST(WndShadowTest, LayeredShadowSurroundsTheWindowWithFadingAlpha) {
    windowtest::HeadlessScope scope;
    CShadowedWindow window;
    ASSERT_NE(window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0), nullptr);
    SetWindowPos(window.GetHWND(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const HWND shadow = window.Shadow().GetHWND();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(IsWindowVisible(shadow)) << "hidden like its window";

    window.ShowHwnd(true, true);
    ASSERT_TRUE(IsWindowVisible(shadow));
    // The shadow reaches out 5, 4, 5 and 6 pixels around the 300 x 200 window.
    const RECT rect = RectOf(shadow);
    EXPECT_EQ(rect.left, 195);
    EXPECT_EQ(rect.top, 146);
    EXPECT_EQ(rect.right, 505);
    EXPECT_EQ(rect.bottom, 356);
    EXPECT_NE(GetActiveWindow(), shadow);
    EXPECT_EQ(SendMessageW(shadow, WM_NCHITTEST, 0, MAKELPARAM(196, 200)), HTTRANSPARENT);

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

TEST(WndShadowTest, FollowsMovesSizesShowsAndDestruction) {
    windowtest::HeadlessScope scope;
    auto* window = new CShadowedWindow();
    const HWND hwnd = window->CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    const HWND shadow = window->Shadow().GetHWND();
    window->ShowHwnd(true, true);

    SetWindowPos(hwnd, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(RectOf(shadow).left, 35);
    EXPECT_EQ(RectOf(shadow).top, 56);
    // A new size repaints the shadow at the new size: the hole moves with the bottom edge.
    SetWindowPos(hwnd, nullptr, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(windowtest::SizeOf(shadow).cy, 260);
    EXPECT_EQ(platform::ShownPixel(shadow, 150, 240), 0u);
    EXPECT_GT(AlphaOf(platform::ShownPixel(shadow, 150, 256)), 0);

    window->ShowHwnd(false);
    EXPECT_FALSE(IsWindowVisible(shadow));
    window->ShowHwnd(true, true);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(shadow)) << "no shadow around a minimised window";
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_TRUE(IsWindowVisible(shadow));

    // An object that dies before its window takes the window and the shadow with it.
    delete window;
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(shadow));
}

TEST(WndShadowTest, RefusesWhatItCannotShade) {
    windowtest::HeadlessScope scope;
    CShadowedWindow window;
    ASSERT_NE(window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0), nullptr);

    CWndShadow shadow;
    EXPECT_FALSE(shadow.Attach(window.GetHWND(), &window.PaintManager())) << "no image set";
    for (const RECT border : {RECT{-1, 4, 5, 6}, RECT{5, 4, 5, 100000}})
        EXPECT_FALSE(shadow.SetImage(L"shadow.png", border));
    EXPECT_FALSE(shadow.Attach(window.GetHWND(), &window.PaintManager())) << "no valid image set";

    // An image the archive lacks gives an invisible shadow, never a broken window.
    ASSERT_TRUE(shadow.SetImage(L"missing.png", RECT{5, 4, 5, 6}));
    ASSERT_TRUE(shadow.Attach(window.GetHWND(), &window.PaintManager()));
    window.ShowHwnd(true, true);
    shadow.OnOwnerMessage(WM_SHOWWINDOW, TRUE, 0);
    EXPECT_EQ(platform::ShownPixel(shadow.GetHWND(), 1, 100), 0u);
    shadow.Detach();
    EXPECT_EQ(shadow.GetHWND(), nullptr);
}
