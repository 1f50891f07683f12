#include "platform/window/Menu.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"

using namespace windowtest;

class MenuTest : public DisplayFixture {};

TEST_F(MenuTest, AGreyedCloseRefusesTheUsersCloseRequests) {
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_SYSMENU | WS_VISIBLE, RECT{0, 0, 100, 100});
    SetFocus(hwnd);
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetSystemMenu(hwnd, FALSE), menu) << "one menu per window";
    EXPECT_EQ(EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED), MF_ENABLED);
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), MF_GRAYED | MF_DISABLED);
    EXPECT_EQ(EnableMenuItem(menu, 0x1234, MF_BYCOMMAND | MF_GRAYED), kMenuItemMissing);

    // Alt+F4 asks for nothing while Close is greyed.
    const auto altF4 = [&] { SendMessageW(hwnd, WM_SYSKEYDOWN, VK_F4, LPARAM{1} << 29); };
    altF4();
    Pump();
    EXPECT_TRUE(recorder.Only({WM_SYSCOMMAND, WM_CLOSE}).empty());
    EXPECT_TRUE(IsWindow(hwnd));

    // Reverting enables it again; the window then closes as usual.
    EXPECT_EQ(GetSystemMenu(hwnd, TRUE), nullptr);
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), MF_ENABLED);
    altF4();
    Pump();
    EXPECT_EQ(recorder.Only({WM_SYSCOMMAND, WM_CLOSE}), (std::vector<Step>{{hwnd, WM_SYSCOMMAND}, {hwnd, WM_CLOSE}}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), kMenuItemMissing) << "the menu went with its window";
}
