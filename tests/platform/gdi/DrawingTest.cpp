#include <gtest/gtest.h>

#include "platform/gdi/Gdi.h"
#include "support/Canvas.h"

using testsupport::Canvas;
using testsupport::PixelNear;

TEST(DrawingTest, AlphaFillsBlendOverTheBackground) {
    Canvas canvas(20, 20, 0xFF0000FF);                                                  // opaque blue
    ASSERT_TRUE(platform::FillRectAlpha(canvas.Dc(), RECT{5, 5, 15, 15}, 0x80FF0000));  // half red
    EXPECT_TRUE(PixelNear(canvas.Pixel(10, 10), 0xFF80007F));
    EXPECT_TRUE(PixelNear(canvas.Pixel(4, 10), 0xFF0000FF, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(15, 15), 0xFF0000FF, 0));  // right and bottom edges excluded

    // Over a transparent background the result stays premultiplied and half covered.
    Canvas clear(4, 4, 0x00000000);
    platform::FillRectAlpha(clear.Dc(), RECT{0, 0, 4, 4}, 0x80FF0000);
    EXPECT_TRUE(PixelNear(clear.Pixel(1, 1), 0x80800000));

    // A fully transparent colour leaves everything as it was.
    platform::FillRectAlpha(canvas.Dc(), RECT{0, 0, 20, 20}, 0x00FFFFFF);
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 0), 0xFF0000FF, 0));
}

TEST(DrawingTest, BrushFillsAndFrames) {
    Canvas canvas(20, 20, 0x00000000);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    ASSERT_NE(green, nullptr);
    {
        // A solid brush replaces the pixels with an opaque colour.
        const RECT r{2, 2, 8, 8};
        EXPECT_EQ(FillRect(canvas.Dc(), &r, green), 1);
        EXPECT_TRUE(PixelNear(canvas.Pixel(2, 2), 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(8, 8), 0x00000000, 0));
    }
    {
        // A system-colour brush, as (HBRUSH)(COLOR_WINDOW + 1).
        const RECT r{10, 0, 12, 2};
        EXPECT_EQ(FillRect(canvas.Dc(), &r, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)), 1);
        EXPECT_TRUE(PixelNear(canvas.Pixel(11, 1), 0xFFFFFFFF, 0));
    }
    {
        // A frame is one pixel wide, inside the rectangle.
        const RECT r{10, 10, 16, 16};
        EXPECT_EQ(FrameRect(canvas.Dc(), &r, green), 1);
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 10), 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(15, 12), 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(12, 12), 0x00000000, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(16, 12), 0x00000000, 0));
    }
    {
        // Inverting flips the colour channels and keeps alpha.
        const RECT r{2, 2, 4, 4};
        EXPECT_TRUE(InvertRect(canvas.Dc(), &r));
        EXPECT_TRUE(PixelNear(canvas.Pixel(3, 3), 0xFFFF00FF, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(4, 4), 0xFF00FF00, 0));
    }
    EXPECT_EQ(FillRect(canvas.Dc(), nullptr, green), 0);
    EXPECT_TRUE(DeleteObject(green));
}

TEST(DrawingTest, RectangleUsesPenOutlineAndBrushInside) {
    Canvas canvas(20, 20, 0xFFFFFFFF);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(canvas.Dc(), red);
    HGDIOBJ oldBrush = SelectObject(canvas.Dc(), blue);
    EXPECT_TRUE(Rectangle(canvas.Dc(), 2, 2, 12, 10));
    EXPECT_TRUE(PixelNear(canvas.Pixel(2, 5), 0xFFFF0000));
    EXPECT_TRUE(PixelNear(canvas.Pixel(11, 5), 0xFFFF0000));
    EXPECT_TRUE(PixelNear(canvas.Pixel(6, 9), 0xFFFF0000));
    EXPECT_TRUE(PixelNear(canvas.Pixel(6, 5), 0xFF0000FF));
    EXPECT_TRUE(PixelNear(canvas.Pixel(12, 5), 0xFFFFFFFF, 0));

    // Round corners leave the very corner pixel untouched.
    EXPECT_TRUE(RoundRect(canvas.Dc(), 2, 12, 18, 20, 8, 8));
    EXPECT_TRUE(PixelNear(canvas.Pixel(2, 12), 0xFFFFFFFF, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(10, 16), 0xFF0000FF));

    SelectObject(canvas.Dc(), oldPen);
    SelectObject(canvas.Dc(), oldBrush);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST(DrawingTest, LinesCoverWholePixelsAndFollowThePenStyle) {
    Canvas canvas(40, 20, 0xFFFFFFFF);
    {
        // Solid, 1 pixel: from the start point up to, not including, the end point.
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HGDIOBJ old = SelectObject(canvas.Dc(), pen);
        MoveToEx(canvas.Dc(), 5, 2, nullptr);
        EXPECT_TRUE(LineTo(canvas.Dc(), 15, 2));
        EXPECT_TRUE(PixelNear(canvas.Pixel(5, 2), 0xFF000000, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(14, 2), 0xFF000000, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(15, 2), 0xFFFFFFFF, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 1), 0xFFFFFFFF, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 3), 0xFFFFFFFF, 0));
        SelectObject(canvas.Dc(), old);
        DeleteObject(pen);
    }
    {
        // A 3-pixel pen covers three rows centred on the line.
        const POINT from{5, 8}, to{30, 8};
        EXPECT_TRUE(platform::DrawLineAlpha(canvas.Dc(), from, to, 3, 0xFF00FF00, PS_SOLID));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 6), 0xFFFFFFFF, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 7), 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 9), 0xFF00FF00, 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 10), 0xFFFFFFFF, 0));
    }
    {
        // Dots are three pixels on, three off; dashes eighteen on, six off.
        EXPECT_TRUE(platform::DrawLineAlpha(canvas.Dc(), POINT{0, 14}, POINT{40, 14}, 1, 0xFF000000, PS_DOT));
        for (int x : {0, 2, 6, 8})
            EXPECT_TRUE(PixelNear(canvas.Pixel(x, 14), 0xFF000000, 0)) << x;
        for (int x : {3, 5, 9})
            EXPECT_TRUE(PixelNear(canvas.Pixel(x, 14), 0xFFFFFFFF, 0)) << x;
        EXPECT_TRUE(platform::DrawLineAlpha(canvas.Dc(), POINT{0, 17}, POINT{40, 17}, 1, 0xFF000000, PS_DASH));
        for (int x : {0, 17, 24})
            EXPECT_TRUE(PixelNear(canvas.Pixel(x, 17), 0xFF000000, 0)) << x;
        for (int x : {18, 23})
            EXPECT_TRUE(PixelNear(canvas.Pixel(x, 17), 0xFFFFFFFF, 0)) << x;
    }
    {
        // A half-transparent vertical line blends.
        EXPECT_TRUE(platform::DrawLineAlpha(canvas.Dc(), POINT{35, 0}, POINT{35, 20}, 1, 0x80000000, PS_SOLID));
        EXPECT_TRUE(PixelNear(canvas.Pixel(35, 5), 0xFF7F7F7F));
        EXPECT_TRUE(PixelNear(canvas.Pixel(34, 5), 0xFFFFFFFF, 0));
    }
}
