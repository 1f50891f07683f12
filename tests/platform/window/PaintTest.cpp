#include "platform/window/Paint.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"

using namespace windowtest;

namespace {

constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kBlue = 0xFF0000FF;

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
}

TEST_F(PaintTest, AParentPaintsBeforeTheChildrenItCovers) {
    const HWND parent = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    const HWND child = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{20, 20, 60, 60}, parent);
    ASSERT_TRUE(parent && child);
    recorder.handler = [child](HWND h, UINT m, WPARAM, LPARAM) { return PaintWith(h, m, h == child ? kBlue : kRed); };
    Pump();
    ASSERT_EQ(scope.display.Pixel(parent, 30, 30), kBlue);

    // The child asks first, then the parent's repaint reaches over it: the child must still end on top.
    InvalidateRect(child, nullptr, FALSE);
    InvalidateRect(parent, nullptr, FALSE);
    Pump();
    EXPECT_EQ(scope.display.Pixel(parent, 30, 30), kBlue);
    EXPECT_EQ(scope.display.Pixel(parent, 10, 10), kRed);
}
