// Icons from the program's icon resources (a group, RT_GROUP_ICON, naming one RT_ICON image
// per size, each a PNG file or a 32-bit DIB), and the icons a window shows (WM_SETICON),
// which the display puts where the desktop looks for them (X11: _NET_WM_ICON).
//
// Any thread. Icons are shared: loading the same image again gives the same handle, and they
// live as long as the process (DestroyIcon succeeds and keeps them). Failures return null
// with the thread's last error set: the resource lookup's error, or ERROR_INVALID_DATA for an
// image that is neither PNG nor a 32-bit DIB.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/window/WindowTypes.h"

inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_SHARED = 0x8000;
// WM_SETICON / WM_GETICON kinds.
inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

// IMAGE_ICON only. The image of the group closest to `width` (the same width, else the
// smallest larger one, else the largest); 0 asks for the largest.
HICON LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);
// The group's image for the system's icon size.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);

namespace platform {

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // straight (not premultiplied) 0xAARRGGBB, rows top-down
};

std::optional<IconImage> IconImageOf(HICON icon);
// Every image of the icon group `icon` was loaded from, smallest first (the desktop picks the
// size it shows); only its own image for an icon of no group; empty for no icon.
std::vector<IconImage> IconFamilyOf(HICON icon);
// What WM_SETICON gave the window (null for none).
HICON WindowIcon(HWND hwnd, WPARAM kind);
// Stores the icon for DefWindowProcW's WM_SETICON; returns the one it replaces.
HICON SetWindowIconHandle(HWND hwnd, WPARAM kind, HICON icon);
void ForgetWindowIcons(HWND hwnd);

}  // namespace platform
