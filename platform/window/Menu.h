// The system menu of a window, as far as programs use it here: greying or disabling its
// commands. There is no menu to show; what the states change is how the window answers the
// user's own requests: a greyed or disabled Close makes the display's close request (the
// window manager's close button) and Alt+F4 do nothing.
//
// Any thread may call these; a window's menu lives as long as the window. Handles of a
// destroyed window's menu fail (ERROR_INVALID_MENU_HANDLE).
#pragma once

#include "platform/window/WindowTypes.h"

// EnableMenuItem / GetMenuState flags and states.
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT kMenuItemMissing = 0xFFFFFFFFu;

// `revert` FALSE: the window's menu (made on first use) with the commands restore, move,
// size, minimise, maximise and close. TRUE: every command enabled again; returns null.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);
// Sets the item's MF_GRAYED and MF_DISABLED bits; returns the bits it had, or
// kMenuItemMissing when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The item's state bits, or kMenuItemMissing.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);

namespace platform {

// False when the window's system menu has `command` greyed or disabled.
bool SystemCommandEnabled(HWND hwnd, UINT command);
// The window is gone: its menu goes too.
void ForgetSystemMenu(HWND hwnd);

}  // namespace platform
