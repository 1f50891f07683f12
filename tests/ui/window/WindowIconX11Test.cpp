// The program's icon resource becomes the X window's icon property, which desktops show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowTestScope.h"
#include "platform/resource/Resource.h"
#include "support/PngBytes.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using SkinUI::WindowImplBase;

namespace {

class CIconWindow : public WindowImplBase {
protected:
    LPCWSTR RegisteredClassName() const override { return L"IconX11Window"; }
    std::wstring SkinFileName() const override { return L"CoreBox.xml"; }
};

void RegisterPngIcon(WORD id, int size, uint32_t argb) {
    const auto png = testsupport::PngBytes(size, size, std::vector<uint32_t>(static_cast<size_t>(size) * size, argb));
    ASSERT_TRUE(platform::RegisterResource(RT_ICON, id, std::string(png.begin(), png.end())));
}

// Group entries: width, height, colours, reserved, planes, bits, bytes, id.
std::string GroupOf(const std::vector<std::pair<int, WORD>>& images) {
    std::string out = {0, 0, 1, 0, static_cast<char>(images.size()), 0};
    for (const auto& [size, id] : images) {
        out += {static_cast<char>(size), static_cast<char>(size), 0, 0, 1, 0, 32, 0, 0, 0, 0, 0};
        out += {static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
    }
    return out;
}

}  // namespace

TEST(WindowIconX11Test, TheProgramsIconReachesTheXWindow) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    RegisterPngIcon(7201, 32, 0xFFD04040);
    RegisterPngIcon(7202, 16, 0xFF3A7BD5);
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, SkinUI::CWindowWnd::kWindowIconId,
                                           GroupOf({{32, 7201}, {16, 7202}})));
    windowtest::X11Scope x11;
    ASSERT_TRUE(x11.ready) << "Xvfb did not start";
    {
        CIconWindow window;
        const HWND hwnd = window.CreateHwnd(nullptr, L"icon", WS_POPUP | WS_VISIBLE, 0);
        ASSERT_NE(hwnd, nullptr);
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
