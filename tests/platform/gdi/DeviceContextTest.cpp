#include <gtest/gtest.h>

#include <climits>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"

using testsupport::Canvas;
using testsupport::PixelNear;

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

    // Stock objects survive deletion; DCs are not objects to delete.
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(GetObjectType(white), OBJ_BRUSH);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(DeviceContextTest, BitmapsDescribeThemselvesAndRefuseBadShapes) {
    HDC dc = CreateCompatibleDC(nullptr);
    {
        BITMAPINFO info = Info32(5, -3);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(dib, nullptr);
        BITMAP described;
        ASSERT_EQ(GetObjectW(dib, sizeof(described), &described), static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(described.bmWidth, 5);
        EXPECT_EQ(described.bmHeight, 3);
        EXPECT_EQ(described.bmWidthBytes, 20);
        EXPECT_EQ(described.bmBits, bits);
        DeleteObject(dib);
    }
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

TEST(DeviceContextTest, BottomUpSectionsKeepTheirRowOrder) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = Info32(2, 3);  // positive height: the first row in memory is the bottom one
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    auto* pixels = static_cast<DWORD*>(bits);
    pixels[0] = 0xFFFF0000;  // bottom-left, written directly
    HGDIOBJ old = SelectObject(dc, dib);

    // Drawing on the top row lands at the end of the bits.
    platform::FillRectAlpha(dc, RECT{0, 0, 2, 1}, 0xFF00FF00);
    EXPECT_EQ(pixels[4], 0xFF00FF00u);
    EXPECT_EQ(pixels[0], 0xFFFF0000u);

    // Reading through the DC sees the direct write at the bottom.
    Canvas canvas(2, 3, 0);
    BitBlt(canvas.Dc(), 0, 0, 2, 3, dc, 0, 0, SRCCOPY);
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 2), 0xFFFF0000, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 0), 0xFF00FF00, 0));
    EXPECT_EQ(GetPixel(dc, 0, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 5, 5), CLR_INVALID);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

TEST(DeviceContextTest, SurfaceDcDrawsOnlyInItsArea) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    HDC dc = platform::CreateSurfaceDC(surface, RECT{5, 5, 15, 15});
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 10);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10);
    // Surface DCs draw on the window's pixels; they take no bitmap.
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    DeleteObject(bitmap);

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

TEST(DeviceContextTest, SaveAndRestoreBringBackObjectsAndAttributes) {
    Canvas canvas(4, 4);
    HDC dc = canvas.Dc();
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    const COLORREF colour = GetTextColor(dc);
    HFONT big = CreateFontW(-30, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, L"");
    ASSERT_EQ(SaveDC(dc), 1);
    SelectObject(dc, big);
    SetTextColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 7), 0);
    EXPECT_FALSE(DeleteObject(big));
    ASSERT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(dc), colour);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_TRUE(DeleteObject(big));
}

TEST(DeviceContextTest, MulDivRoundsAndRefusesOverflow) {
    const struct {
        int number, numerator, denominator, expected;
    } cases[] = {
        {10, 2540, 96, 265}, {-10, 2540, 96, -265}, {3, 1, 2, 2},        {-3, 1, 2, -2},
        {7, 1, -2, -4},      {5, 5, 0, -1},         {INT_MAX, 2, 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << "*" << c.numerator << "/" << c.denominator);
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected);
    }
}
