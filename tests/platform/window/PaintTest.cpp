#include "platform/window/Paint.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "platform/window/Caret.h"
#include "support/Canvas.h"

using namespace windowtest;
using testsupport::PixelNear;

namespace {

constexpr DWORD kBlack = 0xFF000000;
constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kBlue = 0xFF0000FF;
constexpr DWORD kWhite = 0xFFFFFFFF;

// A procedure body that paints its whole client area with one colour.
std::optional<LRESULT> PaintWith(HWND hwnd, UINT message, DWORD argb) {
    if (message != WM_PAINT) return std::nullopt;
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    platform::FillRectAlpha(hdc, client, argb);
    EndPaint(hwnd, &paint);
    return 0;
}

}  // namespace

class PaintTest : public DisplayFixture {};

TEST_F(PaintTest, PaintingTouchesOnlyTheUpdateRegion) {
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    recorder.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kRed); };
    Pump();
    ASSERT_EQ(scope.display.Pixel(hwnd, 50, 50), kRed);

    // Two separate areas stay two areas, not their bounding box.
    recorder.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kBlue); };
    const RECT left{0, 0, 10, 10};
    const RECT right{90, 90, 100, 100};
    InvalidateRect(hwnd, &left, FALSE);
    InvalidateRect(hwnd, &right, FALSE);
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(hwnd, update, FALSE), COMPLEXREGION);
    DeleteObject(update);
    Pump();
    EXPECT_EQ(scope.display.Pixel(hwnd, 5, 5), kBlue);
    EXPECT_EQ(scope.display.Pixel(hwnd, 95, 95), kBlue);
    EXPECT_EQ(scope.display.Pixel(hwnd, 50, 50), kRed);
    EXPECT_EQ(scope.display.Pixel(hwnd, 5, 95), kRed);

    // Validating one of two areas leaves exactly the other.
    InvalidateRect(hwnd, &left, FALSE);
    InvalidateRect(hwnd, &right, FALSE);
    ValidateRect(hwnd, &left);
    RECT bounds;
    EXPECT_TRUE(GetUpdateRect(hwnd, &bounds, FALSE));
    EXPECT_EQ((std::vector<LONG>{bounds.left, bounds.top, bounds.right, bounds.bottom}),
              (std::vector<LONG>{90, 90, 100, 100}));
    ValidateRect(hwnd, nullptr);
    EXPECT_FALSE(GetUpdateRect(hwnd, &bounds, FALSE));
}

TEST_F(PaintTest, EraseUsesTheClassBrushAndChildrenPaintIntoTheirParent) {
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    ScopedClass cls(0, nullptr, white);
    Recorder parentSeen;
    Recorder childSeen;
    const HWND parent = cls.Create(&parentSeen, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, RECT{10, 10, 110, 110});
    const HWND child = cls.Create(&childSeen, WS_CHILD | WS_VISIBLE, RECT{20, 30, 40, 50}, parent);
    childSeen.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kBlue); };
    Pump();
    // Showing asks for an erase: the parent's procedure paints nothing itself, the brush does.
    EXPECT_EQ(parentSeen.Only({WM_ERASEBKGND}).size(), 1u);
    EXPECT_EQ(scope.display.Pixel(parent, 5, 5), kWhite);
    EXPECT_EQ(scope.display.Pixel(parent, 25, 35), kBlue);
    EXPECT_EQ(scope.display.Pixel(parent, 40, 50), kWhite);  // right and bottom edges are outside

    // With WS_CLIPCHILDREN the parent's paint leaves the child's pixels alone.
    parentSeen.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kRed); };
    InvalidateRect(parent, nullptr, FALSE);
    Pump();
    EXPECT_EQ(scope.display.Pixel(parent, 5, 5), kRed);
    EXPECT_EQ(scope.display.Pixel(parent, 25, 35), kBlue);
    EXPECT_TRUE(childSeen.Only({WM_PAINT}).size() == 1u);  // and the child was not invalidated

    // Hiding the child exposes the parent under it.
    ShowWindow(child, SW_HIDE);
    Pump();
    EXPECT_EQ(scope.display.Pixel(parent, 25, 35), kRed);
    DestroyWindow(parent);
    DeleteObject(white);
}

TEST_F(PaintTest, WindowDcsDrawAndHandTheirPixelsToTheDisplay) {
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 40});
    const HWND other = cls.Create(&recorder, WS_POPUP, RECT{0, 0, 40, 40});
    Pump();
    const int before = scope.display.PresentCount(hwnd);
    HDC hdc = GetDC(hwnd);
    ASSERT_NE(hdc, nullptr);
    const RECT square{10, 10, 20, 20};
    platform::FillRectAlpha(hdc, square, kRed);
    EXPECT_EQ(ReleaseDC(other, hdc), 0);  // not that window's DC
    EXPECT_EQ(ReleaseDC(hwnd, hdc), 1);
    EXPECT_EQ(scope.display.PresentCount(hwnd), before + 1);
    EXPECT_EQ(scope.display.Pixel(hwnd, 15, 15), kRed);
    EXPECT_EQ(ReleaseDC(hwnd, hdc), 0);  // released already

    // Another thread gets no DC for the window.
    OnFreshThread([hwnd] { EXPECT_EQ(GetDC(hwnd), nullptr); });

    // A PNG of the window shows what was painted.
    const std::string path = ::testing::TempDir() + "paint-window.png";
    ASSERT_TRUE(scope.display.WritePng(hwnd, path));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 40);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(png) +
                                                             15 * cairo_image_surface_get_stride(png));
    EXPECT_EQ(row[15], kRed);
    EXPECT_EQ(row[5], kBlack);
    cairo_surface_destroy(png);
}

TEST_F(PaintTest, LayeredWindowsShowTheirAlpha) {
    const HWND below = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND shadow =
        cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, WS_EX_LAYERED | WS_EX_NOACTIVATE);
    Pump();

    // A source with a transparent left half and a half-transparent red right half.
    testsupport::Canvas source(20, 10, 0x00000000);
    const RECT half{10, 0, 20, 10};
    platform::FillRectAlpha(source.Dc(), half, 0x80FF0000);
    POINT at{30, 40};
    SIZE size{20, 10};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(shadow, nullptr, &at, &size, source.Dc(), &origin, 0, &blend, ULW_ALPHA));
    RECT rect;
    GetWindowRect(shadow, &rect);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{30, 40, 50, 50}));
    EXPECT_TRUE(PixelNear(scope.display.Pixel(shadow, 15, 5), 0x80800000));
    EXPECT_EQ(scope.display.Pixel(shadow, 5, 5), 0u);

    // The constant alpha scales every pixel again.
    blend.SourceConstantAlpha = 128;
    ASSERT_TRUE(UpdateLayeredWindow(shadow, nullptr, nullptr, nullptr, source.Dc(), &origin, 0, &blend, ULW_ALPHA));
    EXPECT_TRUE(PixelNear(scope.display.Pixel(shadow, 15, 5), 0x40400000));

    // Fully transparent pixels let the mouse through to the window below.
    EXPECT_EQ(WindowFromPoint(POINT{35, 45}), below);
    EXPECT_EQ(WindowFromPoint(POINT{45, 45}), shadow);

    // Without per-pixel alpha the window paints itself and shows at the layered opacity.
    EXPECT_TRUE(SetLayeredWindowAttributes(shadow, 0, 128, LWA_ALPHA));
    HDC hdc = GetDC(shadow);
    const RECT all{0, 0, 20, 10};
    platform::FillRectAlpha(hdc, all, kRed);
    ReleaseDC(shadow, hdc);
    EXPECT_TRUE(PixelNear(scope.display.Pixel(shadow, 5, 5), 0x80800000));

    // Only layered windows take layered updates.
    EXPECT_FALSE(UpdateLayeredWindow(below, nullptr, nullptr, nullptr, source.Dc(), &origin, 0, &blend, ULW_ALPHA));
    EXPECT_FALSE(SetLayeredWindowAttributes(below, 0, 10, LWA_ALPHA));
}

TEST_F(PaintTest, AWindowRegionCutsPixelsAndInput) {
    recorder.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kRed); };
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    ASSERT_EQ(SetWindowRgn(hwnd, CreateRoundRectRgn(0, 0, 101, 101, 20, 20), TRUE), 1);
    Pump();
    EXPECT_EQ(scope.display.Pixel(hwnd, 0, 0), 0u);
    EXPECT_EQ(scope.display.Pixel(hwnd, 50, 50), kRed);
    EXPECT_EQ(WindowFromPoint(POINT{0, 0}), nullptr);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), hwnd);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(hwnd, copy), COMPLEXREGION);
    SetWindowRgn(hwnd, nullptr, TRUE);
    EXPECT_EQ(GetWindowRgn(hwnd, copy), RGN_ERROR);
    EXPECT_EQ(WindowFromPoint(POINT{0, 0}), hwnd);
    DeleteObject(copy);
}

TEST_F(PaintTest, TheCaretInvertsItsRectangleWhileShown) {
    recorder.handler = [](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, kWhite); };
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    Pump();
    ASSERT_TRUE(CreateCaret(hwnd, nullptr, 2, 10));
    ASSERT_TRUE(SetCaretPos(5, 5));
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kWhite);  // a new caret starts hidden
    ASSERT_TRUE(ShowCaret(hwnd));
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kBlack);
    EXPECT_EQ(scope.display.Pixel(hwnd, 7, 6), kWhite);

    // Hides nest: two hides need two shows.
    HideCaret(nullptr);
    HideCaret(nullptr);
    ShowCaret(nullptr);
    EXPECT_EQ(platform::CurrentCaret().hideCount, 1);
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kWhite);
    ShowCaret(nullptr);
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kBlack);

    // A paint over the caret leaves it shown once, not inverted twice.
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_TRUE(platform::CurrentCaret().drawn);
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kBlack);

    // Moving it restores the old place.
    SetCaretPos(20, 20);
    EXPECT_EQ(scope.display.Pixel(hwnd, 6, 6), kWhite);
    EXPECT_EQ(scope.display.Pixel(hwnd, 21, 21), kBlack);
    EXPECT_TRUE(DestroyCaret());
    EXPECT_EQ(scope.display.Pixel(hwnd, 21, 21), kWhite);
    EXPECT_FALSE(ShowCaret(hwnd));
}

TEST_F(PaintTest, CaretBlinksAndDiesWithItsWindow) {
    auto clock = UseManualClock();
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    Pump();
    CreateCaret(hwnd, nullptr, 1, 8);
    ShowCaret(hwnd);
    EXPECT_TRUE(platform::CurrentCaret().drawn);
    clock->Advance(std::chrono::milliseconds(GetCaretBlinkTime()));
    Pump();
    EXPECT_FALSE(platform::CurrentCaret().drawn);
    clock->Advance(std::chrono::milliseconds(GetCaretBlinkTime()));
    Pump();
    EXPECT_TRUE(platform::CurrentCaret().drawn);
    DestroyWindow(hwnd);
    EXPECT_EQ(platform::CurrentCaret().owner, nullptr);
    EXPECT_FALSE(SetCaretPos(1, 1));
}

TEST_F(PaintTest, RedrawWindowReachesChildrenAsAsked) {
    const HWND parent = cls.Create(&recorder, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, RECT{0, 0, 100, 100});
    const HWND child = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{10, 10, 50, 50}, parent);
    Pump();
    const auto painted = [&] {
        auto steps = recorder.Only({WM_PAINT});
        recorder.Clear();
        return steps;
    };
    painted();

    // WS_CLIPCHILDREN keeps plain invalidation to the parent; RDW_ALLCHILDREN reaches the child.
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(painted(), (std::vector<Step>{{parent, WM_PAINT}}));
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(painted(), (std::vector<Step>{{parent, WM_PAINT}, {child, WM_PAINT}}));

    // An area outside the child leaves it alone; a region handle works like a rectangle.
    HRGN corner = CreateRectRgn(80, 80, 90, 90);
    RedrawWindow(parent, nullptr, corner, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(painted(), (std::vector<Step>{{parent, WM_PAINT}}));
    DeleteObject(corner);

    // A dead region handle is refused, not read.
    EXPECT_FALSE(InvalidateRgn(parent, corner, FALSE));
}
