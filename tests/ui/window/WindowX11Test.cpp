// A skinned window with round corners on an X server without a compositing manager: no shadow,
// the screen around it as before it was shown, outside its shape and its rectangle alike (no
// black corners, no black shadow frame), and the program's icon on the X window.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "WindowTestScope.h"
#include "platform/gdi/Gdi.h"
#include "platform/resource/Resource.h"
#include "support/PngBytes.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using SkinUI::WindowImplBase;

namespace {

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

struct Screenshot {
    RECT area{};
    std::vector<std::uint32_t> pixels;  // 0xFFRRGGBB
    std::uint32_t At(LONG x, LONG y) const {
        return pixels[static_cast<size_t>(y - area.top) * (area.right - area.left) + (x - area.left)];
    }
};

std::optional<Screenshot> Capture(::Display* client, const RECT& area) {
    XSync(client, False);
    XImage* image =
        XGetImage(client, DefaultRootWindow(client), area.left, area.top, static_cast<unsigned>(area.right - area.left),
                  static_cast<unsigned>(area.bottom - area.top), AllPlanes, ZPixmap);
    if (image == nullptr) return std::nullopt;
    Screenshot shot;
    shot.area = area;
    for (LONG y = 0; y < area.bottom - area.top; ++y) {
        for (LONG x = 0; x < area.right - area.left; ++x)
            shot.pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFFu));
    }
    XDestroyImage(image);
    return shot;
}

}  // namespace

TEST(WindowX11Test, WithoutACompositorNothingShowsOutsideTheShapeAndTheIconIsSet) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    RegisterProgramIcon({{32, 7201, 0xFFD04040}, {16, 7202, 0xFF3A7BD5}});
    windowtest::X11Scope x11;
    ASSERT_TRUE(x11.ready) << "Xvfb did not start";
    ::Display* client = XOpenDisplay(x11.server.Name().c_str());
    ASSERT_NE(client, nullptr);
    // A light desktop, so black would stand out.
    XSetWindowBackground(client, DefaultRootWindow(client), 0xC8D8E8);
    XClearWindow(client, DefaultRootWindow(client));
    {
        windowtest::CTestWindow window;
        const HWND hwnd = window.CreateHwnd(nullptr, L"shaped", WS_POPUP, 0);
        ASSERT_NE(hwnd, nullptr);
        SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        RECT placed{};
        GetWindowRect(hwnd, &placed);
        const RECT around{placed.left - 20, placed.top - 20, placed.right + 20, placed.bottom + 20};
        const auto before = Capture(client, around);
        ASSERT_TRUE(before.has_value());

        window.ShowHwnd(true, true);
        UpdateWindow(hwnd);
        // A body pixel no control covers: once it is on the screen, the window is painted.
        const POINT probe{placed.left + 150, placed.bottom - 20};
        const DWORD body = platform::ShownPixel(hwnd, probe.x - placed.left, probe.y - placed.top) | 0xFF000000u;
        std::optional<Screenshot> after;
        ASSERT_TRUE(windowtest::PumpUntil([&] {
            after = Capture(client, around);
            return after && after->At(probe.x, probe.y) == body;
        })) << "the window never reached the screen";
        // The shadow, when there is one, is mapped and painted by now as well.
        if (const HWND shadow = window.Shadow().GetHWND()) {
            EXPECT_TRUE(windowtest::PumpUntil([&] { return x11.display.CaptureWindow(shadow).has_value(); }));
        }
        x11.display.Sync();
        windowtest::PumpPending();
        after = Capture(client, around);
        const int width = around.right - around.left, height = around.bottom - around.top;
        for (auto [shot, name] : {std::pair{*before, "shaped-window-before.png"}, {*after, "shaped-window-after.png"}})
            testsupport::WriteArtifact(name, shot.pixels, width, height);

        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(hwnd, shape), RGN_ERROR) << "the skin's round corners give the window a shape";
        int outsideShape = 0;
        int changed = 0;
        for (LONG y = around.top; y < around.bottom; ++y) {
            for (LONG x = around.left; x < around.right; ++x) {
                if (PtInRegion(shape, x - placed.left, y - placed.top)) continue;
                if (x >= placed.left && x < placed.right && y >= placed.top && y < placed.bottom) ++outsideShape;
                if (after->At(x, y) != before->At(x, y)) ++changed;
            }
        }
        DeleteObject(shape);
        EXPECT_GT(outsideShape, 0) << "the corners are cut";
        EXPECT_EQ(changed, 0) << "pixels outside the shape differ from the desktop (shadow frame or corners)";
        EXPECT_EQ(window.Shadow().GetHWND(), nullptr) << "no compositing manager to blend a shadow";

        // The program's icon becomes the X window's icon property, which desktops show.
        ASSERT_TRUE(window.SetWindowIcon());
        x11.display.Sync();
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
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
        DestroyWindow(hwnd);
    }
    XCloseDisplay(client);
}
