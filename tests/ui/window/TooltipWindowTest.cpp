// A skinned window shows its controls' tooltips: after the hover delay (on a manual clock, so
// nothing waits for real time), hidden again on leave and on a press; headless and on a real
// X server.
#include <optional>

#include "WindowTestScope.h"
#include "support/ManualClock.h"
#include "ui/basic/UITooltip.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xlib.h>

using SkinUI::WindowImplBase;
using windowtest::ScreenCentreOf;

namespace {

// This thread's queue on a manual clock for the scope's lifetime.
class ManualClockScope {
public:
    // Lets what is queued happen first (input starts the hover timer), then moves time on.
    void Advance(std::chrono::milliseconds by) {
        windowtest::PumpPending();
        clock.Advance(by);
        platform::MessageQueue::ForCurrentThread()->Wake();
        windowtest::PumpPending();
    }

    testsupport::ScopedManualClock clock;
};

bool TipShown(WindowImplBase& window) {
    const HWND popup = window.Tooltip().GetPopup();
    return window.Tooltip().IsOpen() && popup != nullptr && IsWindowVisible(popup);
}

}  // namespace

TEST(TooltipWindowTest, ATipAppearsAfterTheHoverDelayAndGoesOnLeaveAndPress) {
    windowtest::HeadlessScope scope;
    ManualClockScope time;
    windowtest::CTestWindow window(L"TestWindow.xml");
    const HWND hwnd = window.CreateHwnd(nullptr, L"tips", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(hwnd, nullptr);
    SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const POINT button = ScreenCentreOf(window, L"btn_min");
    const POINT title = ScreenCentreOf(window, L"lb_title");

    scope.display.MoveMouse(button.x, button.y);
    time.Advance(std::chrono::milliseconds(300));
    EXPECT_FALSE(TipShown(window)) << "too early";
    time.Advance(std::chrono::milliseconds(200));
    ASSERT_TRUE(TipShown(window));
    EXPECT_EQ(window.Tooltip().GetText(), L"最小化");
    RECT tip{};
    GetWindowRect(window.Tooltip().GetPopup(), &tip);
    EXPECT_GT(tip.top, button.y) << "below the mouse";

    // Leaving the control for one without a tip hides it.
    scope.display.MoveMouse(title.x, title.y);
    windowtest::PumpPending();
    EXPECT_FALSE(TipShown(window));
    time.Advance(std::chrono::milliseconds(500));
    EXPECT_FALSE(TipShown(window));

    // Back on the button: a press hides it.
    scope.display.MoveMouse(button.x, button.y);
    time.Advance(std::chrono::milliseconds(500));
    ASSERT_TRUE(TipShown(window));
    scope.display.PressButton(platform::RawInput::Button::Left);
    windowtest::PumpPending();
    EXPECT_FALSE(TipShown(window));
    scope.display.ReleaseButton(platform::RawInput::Button::Left);
    DestroyWindow(hwnd);
}

TEST(TooltipWindowTest, ATipIsARealWindowOnAnXServer) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    windowtest::X11Scope x11;
    ASSERT_TRUE(x11.ready) << "Xvfb did not start";
    {
        ManualClockScope time;
        windowtest::CTestWindow window(L"TestWindow.xml");
        const HWND hwnd = window.CreateHwnd(nullptr, L"tips", WS_POPUP | WS_VISIBLE, 0);
        ASSERT_NE(hwnd, nullptr);
        SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(windowtest::PumpUntil([&] { return x11.display.CaptureWindow(hwnd).has_value(); }));
        // The pointer moves on the server, which reports the motion to the window.
        const POINT button = ScreenCentreOf(window, L"btn_min");
        ::Display* client = XOpenDisplay(x11.server.Name().c_str());
        ASSERT_NE(client, nullptr);
        XWarpPointer(client, 0, DefaultRootWindow(client), 0, 0, 0, 0, button.x, button.y);
        XFlush(client);
        ASSERT_TRUE(windowtest::PumpUntil([&] { return window.PaintManager().GetHoverControl() != nullptr; }));
        time.Advance(std::chrono::milliseconds(500));
        ASSERT_TRUE(TipShown(window));
        const HWND popup = window.Tooltip().GetPopup();
        EXPECT_NE(x11.display.NativeWindow(popup), 0u);
        std::optional<platform::X11Display::Capture> shown;
        EXPECT_TRUE(windowtest::PumpUntil([&] {
            shown = x11.display.CaptureWindow(popup);
            return shown && shown->width > 8 &&
                   shown->pixels[2 * shown->width + 2] == (SkinUI::CUITooltip::kBackColor | 0xFF000000u);
        })) << "the tip's pixels did not reach the screen";
        XCloseDisplay(client);
        DestroyWindow(hwnd);
    }
}
