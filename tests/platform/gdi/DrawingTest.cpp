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
