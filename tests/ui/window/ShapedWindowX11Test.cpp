// A skinned window with round corners and a drop shadow on an X server without a compositing
// manager: the screen around it must look as before it was shown, outside its shape and its
// rectangle alike (no black corners, no black shadow frame).
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "WindowTestScope.h"
#include "platform/gdi/Gdi.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using SkinUI::WindowImplBase;

namespace {

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

TEST(ShapedWindowX11Test, WithoutACompositorNothingShowsOutsideTheWindowsShape) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
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
        DestroyWindow(hwnd);
    }
    XCloseDisplay(client);
}
