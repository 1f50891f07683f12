// A skinned window shows its controls' tooltips: after the hover delay (on a manual clock, so
// nothing waits for real time), hidden again on leave, on a press and under a modal box;
// headless and on a real X server.
#include <functional>
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

namespace {

// Clicking "btn_close" runs a modal box (the test skin's box) at `boxAt` on the screen;
// `duringModal` runs once the box is up, before its loop starts.
class CBoxOwner : public windowtest::CTestWindow {
public:
    CBoxOwner() : CTestWindow(L"TestWindow.xml") {}

    POINT boxAt{};
    std::function<void(HWND box)> duringModal;
    UINT answer = 0;

    static constexpr UINT kOpenBox = WM_APP + 1;
    // Runs `inModal` from inside the box's loop.
    static constexpr UINT kInModal = WM_APP + 2;
    std::function<void()> inModal;

    void RunBox() {
        windowtest::CTestWindow box(L"CoreBox.xml");
        const HWND hwnd = box.CreateHwnd(m_hwnd, L"box", WS_POPUP | WS_VISIBLE, 0);
        if (hwnd == nullptr) return;
        SetWindowPos(hwnd, nullptr, boxAt.x, boxAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (duringModal) duringModal(hwnd);
        answer = box.RunModal();
    }

protected:
    LPCWSTR RegisteredClassName() const override { return L"TipBoxOwner"; }
    void OnNotify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_close") {
            RunBox();
            return;
        }
        CTestWindow::OnNotify(msg);
    }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kOpenBox) {
            RunBox();
            return 0;
        }
        if (message == kInModal) {
            if (inModal) inModal();
            return 0;
        }
        return CTestWindow::OnWindowMessage(message, wParam, lParam);
    }
};

}  // namespace

TEST(TooltipWindowTest, HoverAndTipGoWhileAModalBoxCoversTheWindow) {
    windowtest::HeadlessScope scope;
    ManualClockScope time;
    CBoxOwner window;
    const HWND hwnd = window.CreateHwnd(nullptr, L"owner", WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(hwnd, nullptr);
    SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SkinUI::CUIPaintManager& pm = window.PaintManager();
    SkinUI::CControlUI* closeButton = pm.ControlByName(L"btn_close");
    const POINT close = ScreenCentreOf(window, L"btn_close");
    const POINT text = ScreenCentreOf(window, L"txt_info");
    {
        // The button's click opens the box over the text; a click there closes it, and the
        // mouse rests on the text of the owner.
        scope.display.MoveMouse(close.x, close.y);
        time.Advance(std::chrono::milliseconds(500));
        ASSERT_TRUE(TipShown(window));
        window.boxAt = POINT{text.x - 80, text.y - 15};
        window.duringModal = [&](HWND) { scope.display.Click(text.x, text.y); };
        scope.display.Click(close.x, close.y);
        windowtest::PumpPending();
        ASSERT_EQ(window.answer, 1u);
        EXPECT_NE(pm.GetHoverControl(), closeButton) << "the button is not hot under a mouse that is elsewhere";
        // The owner hears of the mouse again: the tip that comes is the text's (none).
        scope.display.MoveMouse(text.x + 1, text.y);
        time.Advance(std::chrono::milliseconds(500));
        EXPECT_NE(pm.GetHoverControl(), closeButton);
        EXPECT_FALSE(TipShown(window));
    }
    {
        // A box that opens by itself over the resting mouse takes hover and tip away at once.
        scope.display.MoveMouse(close.x, close.y);
        time.Advance(std::chrono::milliseconds(500));
        ASSERT_TRUE(TipShown(window));
        window.boxAt = POINT{close.x - 80, close.y - 15};
        bool hoverDuring = true;
        bool tipDuring = true;
        window.duringModal = [&](HWND) { PostMessageW(hwnd, CBoxOwner::kInModal, 0, 0); };
        window.inModal = [&] {
            hoverDuring = pm.GetHoverControl() != nullptr;
            tipDuring = TipShown(window);
            scope.display.KeyDown(VK_ESCAPE);
            scope.display.KeyUp(VK_ESCAPE);
        };
        PostMessageW(hwnd, CBoxOwner::kOpenBox, 0, 0);
        windowtest::PumpPending();
        ASSERT_EQ(window.answer, WindowImplBase::kEscapeCloseResult);
        EXPECT_FALSE(hoverDuring);
        EXPECT_FALSE(tipDuring);
        // Back on the button, it is hot and shows its tip as before.
        scope.display.MoveMouse(close.x + 1, close.y);
        time.Advance(std::chrono::milliseconds(500));
        EXPECT_EQ(pm.GetHoverControl(), closeButton);
        EXPECT_TRUE(TipShown(window));
    }
    DestroyWindow(hwnd);
}
