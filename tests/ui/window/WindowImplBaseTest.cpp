#include "ui/window/WindowImplBase.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/DisplayTypes.h"
#include "ui/core/TabLayoutUI.h"

using SkinUI::CControlUI;
using SkinUI::UINotifyMsg;
using SkinUI::WindowImplBase;
using windowtest::PumpPending;
using windowtest::PumpUntil;

namespace {

// Logs "click" and "selectchanged" as "type:sender"; "btn_ok" ends a modal run with 1.
class CTestWindow : public WindowImplBase {
public:
    explicit CTestWindow(std::wstring skin = L"CoreWindow.xml") : m_skin(std::move(skin)) {}

    std::vector<std::wstring> log;

protected:
    LPCWSTR RegisteredClassName() const override { return L"SkinTestWindow"; }
    std::wstring SkinFileName() const override { return m_skin; }
    void OnNotify(UINotifyMsg& msg) override {
        if (msg.sender != nullptr && (msg.type == L"click" || msg.type == L"selectchanged"))
            log.push_back(std::wstring(msg.type.View()) + L":" + std::wstring(msg.sender->GetName().View()));
        if (msg.type == L"click" && msg.sender != nullptr && msg.sender->GetName() == L"btn_ok") PostClose(1);
        WindowImplBase::OnNotify(msg);
    }

private:
    std::wstring m_skin;
};

HWND CreateAt(CTestWindow& window) {
    const HWND hwnd = window.CreateHwnd(nullptr, L"test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    if (hwnd != nullptr) SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return hwnd;
}

// Clicks the centre of a control through the display.
void ClickOn(windowtest::HeadlessScope& scope, CTestWindow& window, const wchar_t* name) {
    const POINT pt = windowtest::ScreenCentreOf(window, name);
    scope.display.Click(pt.x, pt.y);
}

void PressKey(windowtest::HeadlessScope& scope, WORD vk) {
    scope.display.KeyDown(vk);
    scope.display.KeyUp(vk);
}

}  // namespace

TEST(WindowImplBaseTest, HostileCaptionAndSizeBoxKeepTheHitTestSound) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.PaintManager().ApplyWindowAttribute(L"sizebox", L"1,1,-2147483648,-2147483648");
    window.PaintManager().ApplyWindowAttribute(L"caption", L"0,0,-2147483648,2147483647");
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT pt{client.right / 2, client.bottom / 2};
    ClientToScreen(hwnd, &pt);
    const LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(hit == HTCAPTION || hit == HTCLIENT) << hit;
}

TEST(WindowImplBaseTest, FullTestSkinDrivenByInput) {
    windowtest::HeadlessScope scope;
    CTestWindow window(L"TestWindow.xml");
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    PumpPending();
    EXPECT_EQ(window.log, std::vector<std::wstring>{L"selectchanged:opt_a"}) << "announced while the skin was built";

    // Options of one group: selecting one clears the other, and the marks show it.
    auto markColour = [&](const wchar_t* name) {
        UpdateWindow(hwnd);
        const RECT b = window.PaintManager().ControlByName(name)->GetBounds();
        return platform::ShownPixel(hwnd, b.left + 8, b.top + 10);
    };
    constexpr DWORD kMark = 0xFF3A7BD5;
    window.log.clear();
    ClickOn(scope, window, L"opt_b");
    ASSERT_TRUE(PumpUntil([&] { return window.log.size() >= 2; }));
    EXPECT_EQ(window.log, (std::vector<std::wstring>{L"click:opt_b", L"selectchanged:opt_b"}));
    EXPECT_NE(markColour(L"opt_a"), kMark);
    EXPECT_EQ(markColour(L"opt_b"), kMark);

    // Tab walks the focus stops in skin order; Return clicks the focused button.
    window.PaintManager().SetFocusControl(window.PaintManager().ControlByName(L"btn_ok"));
    PressKey(scope, VK_TAB);
    ASSERT_TRUE(PumpUntil([&] {
        CControlUI* focus = window.PaintManager().GetFocusControl();
        return focus != nullptr && focus->GetName() == L"btn_cancel";
    }));
    window.log.clear();
    PressKey(scope, VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !window.log.empty(); }));
    EXPECT_EQ(window.log.front(), L"click:btn_cancel");

    ClickOn(scope, window, L"btn_min");
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
}

TEST(WindowImplBaseTest, ShownOnARealDisplayWithAScreenshot) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    windowtest::X11Scope x11;
    ASSERT_TRUE(x11.ready) << "Xvfb did not start";
    {
        CTestWindow window(L"TestWindow.xml");
        const HWND hwnd = CreateAt(window);
        ASSERT_NE(hwnd, nullptr);
        window.CenterOnOwner();
        window.ShowHwnd(true, true);
        ASSERT_NE(x11.display.NativeWindow(hwnd), 0u);
        EXPECT_EQ(window.Shadow().GetHWND(), nullptr) << "Xvfb runs no compositing manager to blend a shadow";
        const SIZE size = windowtest::SizeOf(hwnd);
        // A point of the body that no control covers, and its colour.
        const POINT probe{size.cx - 20, size.cy - 60};
        UpdateWindow(hwnd);
        const DWORD expected = platform::ShownPixel(hwnd, probe.x, probe.y) | 0xFF000000u;
        std::optional<platform::X11Display::Capture> shown;
        const bool painted = PumpUntil([&] {
            shown = x11.display.CaptureWindow(hwnd);
            return shown && shown->width == size.cx && shown->height == size.cy &&
                   shown->pixels[static_cast<size_t>(probe.y) * shown->width + probe.x] == expected;
        });
        ASSERT_TRUE(shown.has_value()) << "the window never became viewable";
        EXPECT_TRUE(painted) << "the skin's pixels did not reach the screen";

        EXPECT_TRUE(testsupport::WriteArtifact("skin-window.png", shown->pixels, shown->width, shown->height));
        DestroyWindow(hwnd);
    }
}

TEST(WindowImplBaseTest, TwoQuickClicksArriveAsADoubleClick) {
    windowtest::HeadlessScope scope;
    CTestWindow window;
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    window.ShowHwnd(true, true);
    PumpPending();
    auto* button = dynamic_cast<skintest::CTestButtonUI*>(window.PaintManager().ControlByName(L"btn_plain"));
    ASSERT_NE(button, nullptr);
    ClickOn(scope, window, L"btn_plain");
    ClickOn(scope, window, L"btn_plain");
    ASSERT_TRUE(PumpUntil([&] { return button->Count(SkinUI::UIEventType::ButtonUp) == 2; }));
    EXPECT_EQ(button->Count(SkinUI::UIEventType::ButtonDown), 1);
    EXPECT_EQ(button->Count(SkinUI::UIEventType::DoubleClick), 1);
}

TEST(WindowImplBaseTest, EveryControlThatTakesTheMouseEscapesAWholeWindowCaption) {
    windowtest::HeadlessScope scope;
    CTestWindow window(L"TestWindow.xml");
    const HWND hwnd = CreateAt(window);
    ASSERT_NE(hwnd, nullptr);
    SkinUI::CUIPaintManager& pm = window.PaintManager();
    pm.ApplyWindowAttribute(L"caption", L"0,0,0,10000");
    pm.ControlByName(L"txt_info")->SetCaption(SkinUI::CUIString(L"{a}说明链接{/a}"));
    window.ShowHwnd(true, true);
    UpdateWindow(hwnd);  // link rectangles come from the paint
    const auto hitAt = [&](POINT pt) {
        ClientToScreen(hwnd, &pt);
        return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    const auto hitOn = [&](const wchar_t* name) {
        const RECT b = pm.ControlByName(name)->GetBounds();
        return hitAt(POINT{b.left + 3, (b.top + b.bottom) / 2});
    };
    EXPECT_EQ(hitOn(L"lb_title"), HTCAPTION) << "a label drags the window";
    EXPECT_EQ(hitOn(L"btn_min"), HTCLIENT);
    EXPECT_EQ(hitOn(L"sld_level"), HTCLIENT);
    EXPECT_EQ(hitOn(L"txt_info"), HTCLIENT) << "a text with a link";
    auto* tabs = dynamic_cast<SkinUI::CTabLayoutUI*>(pm.ControlByName(L"tab_main"));
    ASSERT_NE(tabs, nullptr);
    tabs->ShowPage(1);
    pm.UpdateLayout();
    EXPECT_EQ(hitOn(L"sb_test"), HTCLIENT) << "a scroll bar";
    EXPECT_EQ(hitOn(L"lb_page2"), HTCAPTION);
}
