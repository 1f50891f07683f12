#include "ui/window/WindowImplBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "ui/core/TabLayoutUI.h"

using SkinUI::WindowImplBase;
using windowtest::PumpPending;
using windowtest::PumpUntil;

namespace {

using windowtest::CTestWindow;

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
    const HWND hwnd = window.Create();
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
    const HWND hwnd = window.Create();
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

    // Return clicks the focused button.
    window.PaintManager().SetFocusControl(window.PaintManager().ControlByName(L"btn_cancel"));
    window.log.clear();
    PressKey(scope, VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !window.log.empty(); }));
    EXPECT_EQ(window.log.front(), L"click:btn_cancel");

    ClickOn(scope, window, L"btn_min");
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
}

TEST(WindowImplBaseTest, EveryControlThatTakesTheMouseEscapesAWholeWindowCaption) {
    windowtest::HeadlessScope scope;
    CTestWindow window(L"TestWindow.xml");
    const HWND hwnd = window.Create();
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
