#include "ui/window/WindowImplBase.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "WindowTestScope.h"
#include "platform/gdi/Gdi.h"
#include "platform/resource/Resource.h"
#include "platform/window/DisplayTypes.h"
#include "support/PngBytes.h"
#include "ui/core/TabLayoutUI.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

// An icon group of one-colour PNG images, as the program's icon resource: a header, then per
// image width, height, colours, reserved, planes, bits, bytes and the image's resource id.
void RegisterProgramIcon(const std::vector<std::tuple<int, WORD, uint32_t>>& images) {
    std::string group = {0, 0, 1, 0, static_cast<char>(images.size()), 0};
    for (const auto& [size, id, argb] : images) {
        const auto png =
            testsupport::PngBytes(size, size, std::vector<uint32_t>(static_cast<size_t>(size) * size, argb));
        ASSERT_TRUE(platform::RegisterResource(RT_ICON, id, std::string(png.begin(), png.end())));
        group += {static_cast<char>(size), static_cast<char>(size), 0, 0, 1, 0, 32, 0, 0, 0, 0, 0};
        group += {static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
    }
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, SkinUI::CWindowWnd::kWindowIconId, group));
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

TEST(WindowImplBaseTest, OnARealDisplayTheWindowShowsTheProgramsIcon) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    RegisterProgramIcon({{32, 7201, 0xFFD04040}, {16, 7202, 0xFF3A7BD5}});
    windowtest::X11Scope x11;
    ASSERT_TRUE(x11.ready) << "Xvfb did not start";
    {
        CTestWindow window(L"TestWindow.xml");
        const HWND hwnd = window.Create();
        ASSERT_NE(hwnd, nullptr);
        window.CenterOnOwner();
        window.ShowHwnd(true, true);
        ASSERT_NE(x11.display.NativeWindow(hwnd), 0u);
        EXPECT_EQ(window.Shadow().GetHWND(), nullptr) << "Xvfb runs no compositing manager to blend a shadow";

        // The program's icon becomes the X window's icon property, which desktops show.
        ASSERT_TRUE(window.SetWindowIcon());
        x11.display.Sync();
        ::Display* client = XOpenDisplay(x11.server.Name().c_str());
        ASSERT_NE(client, nullptr);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        ASSERT_EQ(XGetWindowProperty(client, x11.display.NativeWindow(hwnd), XInternAtom(client, "_NET_WM_ICON", False),
                                     0, 1 << 16, False, XA_CARDINAL, &type, &format, &count, &remaining, &data),
                  Success);
        ASSERT_NE(data, nullptr) << "no icon property";
        // Xlib hands 32-bit items back in longs, sign-extended.
        const auto* longs = reinterpret_cast<const unsigned long*>(data);
        const auto values = [&](size_t i) { return static_cast<uint32_t>(longs[i] & 0xFFFFFFFFu); };
        ASSERT_EQ(count, 2u + 32 * 32 + 2u + 16 * 16);
        EXPECT_EQ(values(0), 32u);
        EXPECT_EQ(values(2), 0xFFD04040u);
        EXPECT_EQ(values(2 + 32 * 32), 16u);
        EXPECT_EQ(values(2 + 32 * 32 + 2), 0xFF3A7BD5u);
        XFree(data);
        XCloseDisplay(client);
        DestroyWindow(hwnd);
    }
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
