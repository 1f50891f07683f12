#include "ui/window/WndShadow.h"

#include <gtest/gtest.h>

#include <string>

#include "WindowTestScope.h"
#include "platform/window/WindowClass.h"

using SkinUI::CWndShadow;
using SkinUI::WindowImplBase;
using windowtest::AlphaOf;

namespace {

class CShadowedWindow : public WindowImplBase {
protected:
    LPCWSTR RegisteredClassName() const override { return L"ShadowTestWindow"; }
    std::wstring SkinFileName() const override { return L"CoreWindow.xml"; }
};

RECT RectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

}  // namespace

TEST(WndShadowTest, LayeredShadowSurroundsTheWindowWithFadingAlpha) {
    windowtest::HeadlessScope scope;
    EXPECT_TRUE(CWndShadow::RegisterShadowClass()) << "a second registration is fine";
    CShadowedWindow window;
    ASSERT_NE(window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0), nullptr);
    SetWindowPos(window.GetHWND(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const HWND shadow = window.Shadow().GetHWND();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(IsWindowVisible(shadow)) << "hidden like its window";
    EXPECT_NE(GetWindowLongW(shadow, GWL_EXSTYLE) & static_cast<LONG>(WS_EX_LAYERED), 0);

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
        {"left edge", 0, 100, 4, 100},       {"top edge", 150, 0, 150, 3},    {"right edge", 309, 100, 305, 100},
        {"bottom edge", 150, 209, 150, 204}, {"top-left corner", 0, 0, 4, 3},
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
    // The window above stays opaque.
    UpdateWindow(window.GetHWND());
    EXPECT_EQ(AlphaOf(platform::ShownPixel(window.GetHWND(), 150, 100)), 0xFF);
}

TEST(WndShadowTest, FollowsMovesSizesShowsAndDestruction) {
    windowtest::HeadlessScope scope;
    CShadowedWindow window;
    const HWND hwnd = window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    const HWND shadow = window.Shadow().GetHWND();
    ASSERT_NE(shadow, nullptr);
    window.ShowHwnd(true, true);

    SetWindowPos(hwnd, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT rect = RectOf(shadow);
    EXPECT_EQ(rect.left, 35);
    EXPECT_EQ(rect.top, 56);

    // A new size repaints the shadow at the new size: the hole moves with the bottom edge.
    SetWindowPos(hwnd, nullptr, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER);
    rect = RectOf(shadow);
    EXPECT_EQ(rect.bottom - rect.top, 260);
    EXPECT_EQ(platform::ShownPixel(shadow, 150, 240), 0u);
    EXPECT_GT(AlphaOf(platform::ShownPixel(shadow, 150, 256)), 0);

    window.ShowHwnd(false);
    EXPECT_FALSE(IsWindowVisible(shadow));
    window.ShowHwnd(true, true);
    EXPECT_TRUE(IsWindowVisible(shadow));
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(shadow)) << "no shadow around a minimised window";
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_TRUE(IsWindowVisible(shadow));

    DestroyWindow(hwnd);
    EXPECT_FALSE(IsWindow(shadow));

    // An object that dies before its window takes the window and the shadow with it.
    auto* early = new CShadowedWindow();
    const HWND earlyHwnd = early->CreateHwnd(nullptr, L"early", WS_POPUP, 0);
    ASSERT_NE(earlyHwnd, nullptr);
    early->ShowHwnd(true, true);
    const HWND earlyShadow = early->Shadow().GetHWND();
    delete early;
    EXPECT_FALSE(IsWindow(earlyHwnd));
    EXPECT_FALSE(IsWindow(earlyShadow));
}

TEST(WndShadowTest, RefusesWhatItCannotShade) {
    windowtest::HeadlessScope scope;
    CShadowedWindow window;
    ASSERT_NE(window.CreateHwnd(nullptr, L"shadowed", WS_POPUP, 0), nullptr);

    CWndShadow shadow;
    EXPECT_FALSE(shadow.Attach(window.GetHWND(), &window.PaintManager())) << "no image set";
    EXPECT_FALSE(shadow.SetImage(L"shadow.png", RECT{-1, 4, 5, 6}));
    EXPECT_FALSE(shadow.SetImage(L"shadow.png", RECT{5, 4, 5, 100000}));
    ASSERT_TRUE(shadow.SetImage(L"shadow.png", RECT{5, 4, 5, 6}));
    EXPECT_FALSE(shadow.Attach(nullptr, &window.PaintManager()));
    EXPECT_FALSE(shadow.Attach(window.GetHWND(), nullptr));

    // An image the archive lacks gives an invisible shadow, never a broken window.
    ASSERT_TRUE(shadow.SetImage(L"missing.png", RECT{5, 4, 5, 6}));
    ASSERT_TRUE(shadow.Attach(window.GetHWND(), &window.PaintManager()));
    window.ShowHwnd(true, true);
    shadow.OnOwnerMessage(WM_SHOWWINDOW, TRUE, 0);
    EXPECT_EQ(platform::ShownPixel(shadow.GetHWND(), 1, 100), 0u);
    shadow.Detach();
    EXPECT_EQ(shadow.GetHWND(), nullptr);
}
