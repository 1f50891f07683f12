#include <gtest/gtest.h>

#include <climits>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"

using testsupport::Canvas;

namespace {

BITMAPINFO Info32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

TEST(DeviceContextTest, ObjectsCannotBeDeletedWhileSelectedAndStaleHandlesFail) {
    HDC dc = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ original = SelectObject(dc, bitmap);
    ASSERT_NE(original, nullptr);

    // One bitmap, one DC at a time; no deleting it from under the DC.
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, original), bitmap);
    EXPECT_EQ(SelectObject(other, bitmap), original);
    EXPECT_EQ(SelectObject(other, original), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));

    // The deleted handle is dead for good.
    SetLastError(0);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(DeleteObject(bitmap));
    BITMAP info;
    EXPECT_EQ(GetObjectW(bitmap, sizeof(info), &info), 0);

    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(DeviceContextTest, BitmapsRefuseBadShapes) {
    HDC dc = CreateCompatibleDC(nullptr);
    const struct {
        const char* why;
        LONG width, height;
        WORD bits;
    } bad[] = {
        {"24-bit", 4, 4, 24},
        {"zero height", 4, 0, 32},
        {"negative width", -4, 4, 32},
        {"too large", 60000, 60000, 32},
        {"most negative height", 4, INT_MIN, 32},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.why);
        BITMAPINFO info = Info32(c.width, c.height);
        info.bmiHeader.biBitCount = c.bits;
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 5), nullptr);
    DeleteDC(dc);
}

TEST(DeviceContextTest, SurfaceDcDrawsOnlyInItsArea) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    HDC dc = platform::CreateSurfaceDC(surface, RECT{5, 5, 15, 15});
    ASSERT_NE(dc, nullptr);
    platform::FillRectAlpha(dc, RECT{-10, -10, 100, 100}, 0xFF00FF00);
    platform::FillRectAlpha(dc, RECT{0, 0, 1, 1}, 0xFFFF0000);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    DeleteDC(dc);  // the surface outlives the DC
    cairo_surface_flush(surface);
    const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
    const int stride = cairo_image_surface_get_stride(surface) / 4;
    EXPECT_EQ(data[5 * stride + 5], 0xFFFF0000u);
    EXPECT_EQ(data[14 * stride + 14], 0xFF00FF00u);
    EXPECT_EQ(data[4 * stride + 5], 0u);
    EXPECT_EQ(data[15 * stride + 15], 0u);

    // An area hanging off the surface draws and reads only the part that exists.
    HDC hanging = platform::CreateSurfaceDC(surface, RECT{15, 15, 40, 40});
    platform::FillRectAlpha(hanging, RECT{0, 0, 25, 25}, 0xFF0000FF);
    EXPECT_EQ(GetPixel(hanging, 4, 4), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(hanging, 10, 10), CLR_INVALID);
    DeleteDC(hanging);
    cairo_surface_destroy(surface);
}
