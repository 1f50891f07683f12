#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <thread>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"
#include "support/RectCheck.h"

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

// A DC keeps its drawing context and its worked-out clip from call to call; every step here
// changes what a call may touch, and the next call must see it. Each step draws both through
// cairo (a translucent fill, a line of text) and directly (an opaque fill).
TEST(DeviceContextTest, DrawingFollowsClipAndBitmapChangesBetweenCalls) {
    DWORD* smallBits = nullptr;
    DWORD* largeBits = nullptr;
    HBITMAP small = platform::CreateTopDownBitmap(nullptr, 8, 8, &smallBits);
    HBITMAP large = platform::CreateTopDownBitmap(nullptr, 16, 12, &largeBits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, small);
    int step = 0;
    // The box of the pixels each kind of drawing changes.
    auto drawn = [&](DWORD* bits, int width, int height) {
        std::vector<RECT> boxes;
        for (int kind = 0; kind < 3; ++kind) {
            std::fill(bits, bits + width * height, 0u);
            const DWORD colour = (kind == 1 ? 0xFF000000u : 0x80000000u) | DWORD(++step * 8);
            if (kind == 2) {
                RECT all{-4, 0, 40, 40};
                SetTextColor(dc, RGB(255, 255, 255));
                SetBkMode(dc, OPAQUE);
                SetBkColor(dc, RGB(0, 0, 255));
                DrawTextW(dc, L"\x2588\x2588\x2588\x2588\x2588", -1, &all, DT_NOCLIP);
            } else {
                platform::FillRectAlpha(dc, RECT{-4, -4, 40, 40}, colour);
            }
            RECT box{width, height, 0, 0};
            for (LONG y = 0; y < height; ++y) {
                for (LONG x = 0; x < width; ++x) {
                    if (bits[y * width + x] == 0) continue;
                    box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                               std::max(box.bottom, y + 1)};
                }
            }
            boxes.push_back(box);
        }
        return boxes;
    };
    auto expectAll = [](const std::vector<RECT>& boxes, const RECT& expected) {
        for (const RECT& box : boxes)
            EXPECT_EQ(box, expected);
    };

    expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 8, 8});
    IntersectClipRect(dc, 2, 2, 6, 6);
    expectAll(drawn(smallBits, 8, 8), RECT{2, 2, 6, 6});
    HRGN corner = CreateRectRgn(0, 0, 3, 3);
    SelectClipRgn(dc, corner);
    expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 3, 3});
    {
        // Narrowed inside a saved state, then back.
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, 1, 1, 2, 2);
        expectAll(drawn(smallBits, 8, 8), RECT{1, 1, 2, 2});
        RestoreDC(dc, saved);
        expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 3, 3});
    }
    {
        // Set aside and put back without handles.
        platform::DcClip kept;
        ASSERT_TRUE(platform::NarrowClip(dc, RECT{2, 0, 9, 9}, &kept));
        expectAll(drawn(smallBits, 8, 8), RECT{2, 0, 3, 3});
        ASSERT_TRUE(platform::RestoreClip(dc, kept));
        expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 3, 3});
    }
    SelectClipRgn(dc, nullptr);
    expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 8, 8});
    // Another bitmap: another surface and another drawable size, the old one left alone.
    SelectObject(dc, large);
    std::fill(smallBits, smallBits + 64, 0u);
    expectAll(drawn(largeBits, 16, 12), RECT{0, 0, 16, 12});
    EXPECT_EQ(std::count(smallBits, smallBits + 64, 0u), 64);
    SelectObject(dc, small);
    expectAll(drawn(smallBits, 8, 8), RECT{0, 0, 8, 8});
    // A bitmap deleted and another made after it draws on the new one only.
    SelectObject(dc, large);
    SelectObject(dc, original);
    DeleteObject(large);
    DWORD* otherBits = nullptr;
    HBITMAP other = platform::CreateTopDownBitmap(nullptr, 5, 5, &otherBits);
    SelectObject(dc, other);
    expectAll(drawn(otherBits, 5, 5), RECT{0, 0, 5, 5});

    SelectObject(dc, original);
    DeleteDC(dc);
    DeleteObject(corner);
    DeleteObject(small);
    DeleteObject(other);
}

// Handles looked up a moment ago are found again quickly; one deleted since is gone, even
// while something still holds its object, and whichever thread deleted it.
TEST(DeviceContextTest, ADeletedHandleIsGoneForEveryThread) {
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"");
    HDC dc = CreateCompatibleDC(nullptr);
    // A saved state keeps the font's object alive once the font is no longer selected.
    HGDIOBJ original = SelectObject(dc, font);
    SaveDC(dc);
    SelectObject(dc, original);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(SelectObject(dc, font), nullptr);
    std::thread([brush] { EXPECT_TRUE(DeleteObject(brush)); }).join();
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(SelectObject(dc, brush), nullptr);
    DeleteDC(dc);
}
