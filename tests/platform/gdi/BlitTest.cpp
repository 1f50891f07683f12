#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageDecode.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"
#include "support/PngBytes.h"

using testsupport::Canvas;
using testsupport::PixelNear;

namespace {

// A 9x9 image of three 3x3 columns of blocks: red, green, blue from left to right,
// with the middle row of blocks darker, so every block has its own colour.
DWORD BlockColour(int column, int row) {
    const DWORD bright[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    const DWORD dark[] = {0xFF800000, 0xFF008000, 0xFF000080};
    return row == 1 ? dark[column] : bright[column];
}

class NineByNine {
public:
    NineByNine() : m_canvas(9, 9, 0) {
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 9; ++x) {
                const RECT pixel{x, y, x + 1, y + 1};
                platform::FillRectAlpha(m_canvas.Dc(), pixel, BlockColour(x / 3, y / 3));
            }
        }
    }
    HDC Dc() const { return m_canvas.Dc(); }

private:
    Canvas m_canvas;
};

}  // namespace

TEST(BlitTest, CopiesAndStretchesASourceRectangle) {
    NineByNine image;
    Canvas canvas(40, 40, 0xFFFFFFFF);
    {
        // The middle block, copied 1:1.
        ASSERT_TRUE(BitBlt(canvas.Dc(), 10, 10, 3, 3, image.Dc(), 3, 3, SRCCOPY));
        EXPECT_TRUE(PixelNear(canvas.Pixel(10, 10), BlockColour(1, 1), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(12, 12), BlockColour(1, 1), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(13, 12), 0xFFFFFFFF, 0));
    }
    {
        // The right two columns of blocks, the top two rows: 6x6 pixels stretched to 12x12.
        ASSERT_TRUE(StretchBlt(canvas.Dc(), 20, 20, 12, 12, image.Dc(), 3, 0, 6, 6, SRCCOPY));
        EXPECT_TRUE(PixelNear(canvas.Pixel(20, 20), BlockColour(1, 0), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(25, 25), BlockColour(1, 0), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(26, 20), BlockColour(2, 0), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(31, 31), BlockColour(2, 1), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(32, 31), 0xFFFFFFFF, 0));
        // Nothing of the left column leaks in at the edge.
        EXPECT_TRUE(PixelNear(canvas.Pixel(20, 31), BlockColour(1, 1), 0));
    }
    {
        // Filtered stretching stays inside the source rectangle at the edges too.
        SetStretchBltMode(canvas.Dc(), HALFTONE);
        ASSERT_TRUE(StretchBlt(canvas.Dc(), 0, 30, 9, 9, image.Dc(), 3, 3, 3, 3, SRCCOPY));
        EXPECT_TRUE(PixelNear(canvas.Pixel(0, 30), BlockColour(1, 1), 0));
        EXPECT_TRUE(PixelNear(canvas.Pixel(8, 38), BlockColour(1, 1), 0));
    }
    // Raster operations other than a copy are refused.
    EXPECT_FALSE(BitBlt(canvas.Dc(), 0, 0, 3, 3, image.Dc(), 0, 0, 0x00EE0086));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(BlitTest, CopyWithinOneBitmapReadsTheOriginalPixels) {
    Canvas canvas(10, 1, 0xFF000000);
    for (int x = 0; x < 10; ++x)
        platform::FillRectAlpha(canvas.Dc(), RECT{x, 0, x + 1, 1}, 0xFF000000 | (x * 20));
    // Overlapping copy one pixel to the right.
    ASSERT_TRUE(BitBlt(canvas.Dc(), 1, 0, 9, 1, canvas.Dc(), 0, 0, SRCCOPY));
    for (int x = 1; x < 10; ++x) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(PixelNear(canvas.Pixel(x, 0), 0xFF000000 | ((x - 1) * 20), 0));
    }
}

TEST(BlitTest, AlphaBlendHonoursPerPixelAndConstantAlpha) {
    // A 2x1 PNG: opaque red, then half-transparent green.
    const auto png = testsupport::PngBytes(2, 1, {0xFFFF0000, 0x8000FF00});
    std::string why;
    const auto image = platform::DecodeImage(png, &why);
    ASSERT_TRUE(image) << why;
    EXPECT_TRUE(image->hasAlpha);
    HDC imageDc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(imageDc, image->bitmap);

    Canvas canvas(8, 2, 0xFF0000FF);  // blue
    BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(canvas.Dc(), 0, 0, 2, 1, imageDc, 0, 0, 2, 1, perPixel));
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 0), 0xFFFF0000));
    EXPECT_TRUE(PixelNear(canvas.Pixel(1, 0), 0xFF00807F));

    // Constant alpha on top of per-pixel alpha: a quarter of the green.
    BLENDFUNCTION half{AC_SRC_OVER, 0, 128, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(canvas.Dc(), 2, 0, 2, 1, imageDc, 0, 0, 2, 1, half));
    EXPECT_TRUE(PixelNear(canvas.Pixel(2, 0), 0xFF80007F));
    EXPECT_TRUE(PixelNear(canvas.Pixel(3, 0), 0xFF0040BF, 3));

    // Without AC_SRC_ALPHA the source counts as opaque: its colour channels, no alpha.
    BLENDFUNCTION opaque{AC_SRC_OVER, 0, 255, 0};
    ASSERT_TRUE(AlphaBlend(canvas.Dc(), 4, 0, 2, 1, imageDc, 0, 0, 2, 1, opaque));
    EXPECT_TRUE(PixelNear(canvas.Pixel(5, 0), 0xFF008000));

    // Stretched from one source pixel to a 2x2 block.
    ASSERT_TRUE(AlphaBlend(canvas.Dc(), 6, 0, 2, 2, imageDc, 0, 0, 1, 1, perPixel));
    EXPECT_TRUE(PixelNear(canvas.Pixel(7, 1), 0xFFFF0000));

    // A source rectangle outside the source is refused and draws nothing.
    EXPECT_FALSE(AlphaBlend(canvas.Dc(), 0, 1, 2, 1, imageDc, 1, 0, 2, 1, perPixel));
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 1), 0xFF0000FF, 0));

    SelectObject(imageDc, old);
    DeleteDC(imageDc);
    EXPECT_TRUE(DeleteObject(image->bitmap));
}

TEST(BlitTest, SourceRectanglesOffTheSourceAndOverflowingSizes) {
    NineByNine image;
    Canvas canvas(12, 12, 0xFFFFFFFF);
    // Half the rectangle hangs off the source's left edge: that half is cleared, the rest copied.
    ASSERT_TRUE(BitBlt(canvas.Dc(), 0, 0, 6, 3, image.Dc(), -3, 0, SRCCOPY));
    EXPECT_TRUE(PixelNear(canvas.Pixel(1, 1), 0x00000000, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(4, 1), BlockColour(0, 0), 0));
    // Stretched, the part off the source's bottom-right corner is cleared too.
    ASSERT_TRUE(StretchBlt(canvas.Dc(), 0, 4, 8, 8, image.Dc(), 7, 7, 4, 4, SRCCOPY));
    EXPECT_TRUE(PixelNear(canvas.Pixel(3, 7), BlockColour(2, 2), 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(4, 7), 0x00000000, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(3, 8), 0x00000000, 0));
    // A huge source rectangle allocates nothing for the parts off the source.
    EXPECT_TRUE(StretchBlt(canvas.Dc(), 0, 0, 6, 6, image.Dc(), 0, 0, 1000000, 1000000, SRCCOPY));
    // Sizes whose ends do not fit an int are refused.
    EXPECT_FALSE(BitBlt(canvas.Dc(), INT32_MAX - 1, 0, 5, 5, image.Dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(BlitTest, AClippedDrawShowsExactlyThePixelsOfTheUnclippedOne) {
    // A source whose every pixel differs, some translucent.
    Canvas source(60, 40, 0);
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            const DWORD alpha = (x + y) % 3 == 0 ? 0x80 : 0xFF;
            const DWORD argb = alpha << 24 | DWORD(x * 4) << 16 | DWORD(y * 6) << 8 | DWORD((x ^ y) * 4);
            platform::FillRectAlpha(source.Dc(), RECT{x, y, x + 1, y + 1}, argb);
        }
    }
    enum class Call { Copy, Stretch, Blend };
    const struct {
        const char* why;
        Call call;
        int mode;
        RECT dest, from;
    } cases[] = {
        {"one to one", Call::Copy, BLACKONWHITE, {5, 5, 65, 45}, {0, 0, 60, 40}},
        {"one to one, partly off the source", Call::Copy, BLACKONWHITE, {-10, 10, 60, 50}, {-20, 15, 50, 55}},
        {"three times larger, nearest", Call::Stretch, BLACKONWHITE, {-20, -10, 70, 50}, {10, 10, 40, 30}},
        {"larger, filtered", Call::Stretch, HALFTONE, {0, 0, 80, 60}, {7, 3, 37, 28}},
        {"four times smaller, filtered", Call::Stretch, HALFTONE, {10, 10, 25, 20}, {0, 0, 60, 40}},
        {"smaller by 2.7, filtered", Call::Stretch, HALFTONE, {3, 4, 25, 19}, {0, 0, 59, 40}},
        {"partly off the source, filtered", Call::Stretch, HALFTONE, {0, 0, 80, 60}, {40, 20, 80, 50}},
        {"blended, larger", Call::Blend, HALFTONE, {2, 2, 78, 58}, {5, 5, 43, 33}},
        {"blended, smaller", Call::Blend, HALFTONE, {20, 20, 50, 40}, {0, 0, 60, 40}},
    };
    // Two bands and a small block, as the window's invalid regions are.
    HRGN clip = CreateRectRgn(0, 17, 80, 23);
    HRGN block = CreateRectRgn(31, 40, 44, 52);
    CombineRgn(clip, clip, block, RGN_OR);
    DeleteObject(block);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Canvas whole(80, 60, 0xFF204060);
        Canvas clipped(80, 60, 0xFF204060);
        SelectClipRgn(clipped.Dc(), clip);
        for (const Canvas* target : {&clipped, &whole}) {
            SetStretchBltMode(target->Dc(), c.mode);
            const int width = c.dest.right - c.dest.left, height = c.dest.bottom - c.dest.top;
            const int fromWidth = c.from.right - c.from.left, fromHeight = c.from.bottom - c.from.top;
            if (c.call == Call::Blend) {
                ASSERT_TRUE(AlphaBlend(target->Dc(), c.dest.left, c.dest.top, width, height, source.Dc(), c.from.left,
                                       c.from.top, fromWidth, fromHeight,
                                       BLENDFUNCTION{AC_SRC_OVER, 0, 200, AC_SRC_ALPHA}));
            } else {
                ASSERT_TRUE(StretchBlt(target->Dc(), c.dest.left, c.dest.top, width, height, source.Dc(), c.from.left,
                                       c.from.top, fromWidth, fromHeight, SRCCOPY));
            }
        }
        int wrong = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 80; ++x) {
                const DWORD expected = PtInRegion(clip, x, y) ? whole.Pixel(x, y) : 0xFF204060;
                if (clipped.Pixel(x, y) != expected && wrong++ < 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << clipped.Pixel(x, y) << " not "
                                  << expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    {
        SCOPED_TRACE("within one bitmap, filtered, the areas overlapping");
        Canvas whole(80, 60, 0xFF204060);
        Canvas clipped(80, 60, 0xFF204060);
        for (const Canvas* target : {&clipped, &whole}) {
            ASSERT_TRUE(BitBlt(target->Dc(), 0, 0, 60, 40, source.Dc(), 0, 0, SRCCOPY));
            if (target == &clipped) SelectClipRgn(clipped.Dc(), clip);
            SetStretchBltMode(target->Dc(), HALFTONE);
            ASSERT_TRUE(StretchBlt(target->Dc(), 4, 6, 75, 52, target->Dc(), 10, 5, 33, 29, SRCCOPY));
        }
        int wrong = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 80; ++x) {
                if (PtInRegion(clip, x, y) && clipped.Pixel(x, y) != whole.Pixel(x, y)) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    DeleteObject(clip);
}

// A one-to-one blend between two bitmaps is composited directly; within one bitmap it goes
// through cairo. Both must give the same bytes, clipped or not.
TEST(BlitTest, OneToOneBlendsDrawWhatTheGeneralPathDraws) {
    constexpr int kWidth = 23, kHeight = 9;
    // A memory DC on a bitmap whose bits the test writes.
    struct Bits {
        Bits(int width, int height) : width(width) {
            bitmap = platform::CreateTopDownBitmap(nullptr, width, height, &bits);
            dc = CreateCompatibleDC(nullptr);
            old = SelectObject(dc, bitmap);
        }
        ~Bits() {
            SelectObject(dc, old);
            DeleteDC(dc);
            DeleteObject(bitmap);
        }
        DWORD& At(int x, int y) { return bits[y * width + x]; }
        int width;
        DWORD* bits = nullptr;
        HBITMAP bitmap = nullptr;
        HDC dc = nullptr;
        HGDIOBJ old = nullptr;
    };
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    // Premultiplied pixels of every kind: clear, translucent and opaque.
    auto randomPixel = [&] {
        const DWORD alphas[] = {0, 0x40, 0xC3, 0xFF};
        const DWORD alpha = alphas[next() % 4];
        auto channel = [&] { return next() % (alpha + 1); };
        const DWORD r = channel(), g = channel(), b = channel();
        return alpha << 24 | r << 16 | g << 8 | b;
    };
    HRGN clip = CreateRectRgn(0, 1, 9, 4);
    HRGN block = CreateRectRgn(14, 5, 22, 9);
    CombineRgn(clip, clip, block, RGN_OR);
    DeleteObject(block);
    const struct {
        const char* why;
        BYTE constantAlpha;
        BYTE format;
        bool clipped;
    } cases[] = {
        {"per-pixel alpha", 255, AC_SRC_ALPHA, false},
        {"per-pixel and constant alpha", 128, AC_SRC_ALPHA, false},
        {"a faint constant alpha, clipped", 1, AC_SRC_ALPHA, true},
        {"an opaque source, clipped", 255, 0, true},
        {"an opaque source, constant alpha", 77, 0, false},
        {"per-pixel alpha, clipped", 255, AC_SRC_ALPHA, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // Direct: the source in a bitmap of its own. Through cairo: the source beside the
        // destination in one bitmap.
        Bits from(kWidth, kHeight), direct(kWidth, kHeight), both(2 * kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                from.At(x, y) = both.At(x + kWidth, y) = randomPixel();
                direct.At(x, y) = both.At(x, y) = randomPixel();
            }
        }
        if (c.clipped) {
            SelectClipRgn(direct.dc, clip);
            SelectClipRgn(both.dc, clip);
        }
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, c.constantAlpha, c.format};
        ASSERT_TRUE(AlphaBlend(direct.dc, 0, 0, kWidth, kHeight, from.dc, 0, 0, kWidth, kHeight, blend));
        ASSERT_TRUE(AlphaBlend(both.dc, 0, 0, kWidth, kHeight, both.dc, kWidth, 0, kWidth, kHeight, blend));
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (direct.At(x, y) != both.At(x, y) && wrong++ < 3) {
                    ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << direct.At(x, y) << " vs "
                                  << both.At(x, y);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    DeleteObject(clip);
}

// A stretched blend between two bitmaps is composited directly; within one bitmap it goes
// through cairo. Both must give the same bytes for every scale, place, clip and DC origin:
// nearest sampling makes any difference in the arithmetic show as a whole pixel taken from
// the wrong column.
TEST(BlitTest, StretchedBlendsDrawWhatTheGeneralPathDraws) {
    constexpr int kWidth = 130, kHeight = 24;  // the destination
    constexpr int kSourceWidth = 47, kSourceHeight = 16;
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    std::vector<DWORD> sourcePixels(kSourceWidth * kSourceHeight);
    for (DWORD& pixel : sourcePixels) {
        const DWORD alphas[] = {0, 0x70, 0xFE, 0xFF, 0xFF, 0xFF};
        const DWORD alpha = alphas[next() % 6];
        pixel = alpha << 24 | (next() % (alpha + 1)) << 16 | (next() % (alpha + 1)) << 8 | next() % (alpha + 1);
    }
    // Rows 10 to 15 opaque, as a bar's image is: 12 to 15 the same as 11, and 10 as well but
    // for its last pixel.
    for (int y = 11; y < kSourceHeight; ++y) {
        for (int x = 0; x < kSourceWidth; ++x) {
            DWORD& pixel = sourcePixels[y * kSourceWidth + x];
            pixel = y > 11 ? sourcePixels[11 * kSourceWidth + x] : pixel | 0xFF000000;
        }
    }
    std::copy_n(&sourcePixels[11 * kSourceWidth], kSourceWidth - 1, &sourcePixels[10 * kSourceWidth]);
    sourcePixels[11 * kSourceWidth - 1] |= 0xFF000000;
    // The source as images are kept: a memory DC on a bitmap holding the pixels as they are.
    DWORD* sourceBits = nullptr;
    HBITMAP sourceBitmap = platform::CreateTopDownBitmap(nullptr, kSourceWidth, kSourceHeight, &sourceBits);
    std::copy(sourcePixels.begin(), sourcePixels.end(), sourceBits);
    HDC sourceDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(sourceDc, sourceBitmap);
    // A target: one surface with a DC on an area of it at `origin`; `wide` leaves room for a
    // copy of the source to the right of the destination.
    struct Target {
        Target(POINT origin, bool wide) : origin(origin) {
            const int width = kWidth + (wide ? kSourceWidth : 0);
            surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, origin.x + width, origin.y + kHeight);
            dc = platform::CreateSurfaceDC(surface, RECT{origin.x, origin.y, origin.x + width, origin.y + kHeight});
        }
        ~Target() {
            DeleteDC(dc);
            cairo_surface_destroy(surface);
        }
        DWORD& At(int x, int y) {
            cairo_surface_flush(surface);
            auto* data = cairo_image_surface_get_data(surface);
            return reinterpret_cast<DWORD*>(data + static_cast<size_t>(y + origin.y) *
                                                       cairo_image_surface_get_stride(surface))[x + origin.x];
        }
        POINT origin;
        cairo_surface_t* surface;
        HDC dc;
    };
    // The whole destination, two bands with a corner cut off as a shaped window's clip is, and a
    // block apart.
    HRGN everything = CreateRectRgn(0, 0, kWidth, kHeight);
    HRGN bands = CreateRectRgn(0, 3, kWidth, 14);
    HRGN corner = CreateRectRgn(1, 14, kWidth - 1, 15);
    HRGN block = CreateRectRgn(40, 18, 71, 23);
    CombineRgn(bands, bands, corner, RGN_OR);
    CombineRgn(bands, bands, block, RGN_OR);
    for (HRGN region : {corner, block})
        DeleteObject(region);
    const RECT froms[] = {{0, 10, kSourceWidth, 16}, {3, 2, 10, 15}, {1, 0, kSourceWidth, kSourceHeight}};
    int wrongCases = 0;
    for (const POINT origin : {POINT{0, 0}, POINT{9, 4}}) {
        for (HRGN clip : {everything, bands}) {
            for (const RECT& from : froms) {
                for (int width = 1; width <= kWidth && wrongCases < 3; ++width) {
                    const int fromWidth = from.right - from.left, fromHeight = from.bottom - from.top;
                    // One to one, larger, smaller, and half the height.
                    const int heights[] = {fromHeight, 2 * fromHeight + 3, 5, std::max(1, fromHeight / 2)};
                    const int height = heights[width % 4];
                    const int x = (width % 5) - 2, y = (width % 3) - 1;
                    Target direct(origin, false), both(origin, true);
                    for (int row = 0; row < kHeight; ++row) {
                        for (int column = 0; column < kWidth; ++column)
                            direct.At(column, row) = both.At(column, row) = 0xFF204060 + row * 7 + column;
                        for (int column = 0; column < kSourceWidth; ++column) {
                            both.At(kWidth + column, row) =
                                row < kSourceHeight ? sourcePixels[row * kSourceWidth + column] : 0;
                        }
                    }
                    cairo_surface_mark_dirty(direct.surface);
                    cairo_surface_mark_dirty(both.surface);
                    SelectClipRgn(direct.dc, clip);
                    SelectClipRgn(both.dc, clip);
                    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
                    ASSERT_TRUE(AlphaBlend(direct.dc, x, y, width, height, sourceDc, from.left, from.top, fromWidth,
                                           fromHeight, blend));
                    ASSERT_TRUE(AlphaBlend(both.dc, x, y, width, height, both.dc, kWidth + from.left, from.top,
                                           fromWidth, fromHeight, blend));
                    int wrong = 0;
                    for (int row = 0; row < kHeight; ++row) {
                        for (int column = 0; column < kWidth; ++column) {
                            if (direct.At(column, row) != both.At(column, row) && wrong++ < 2) {
                                ADD_FAILURE()
                                    << "origin " << origin.x << " width " << width << " height " << height << " from "
                                    << from.left << "," << from.top << " at " << column << "," << row << ": "
                                    << std::hex << direct.At(column, row) << " vs " << both.At(column, row);
                            }
                        }
                    }
                    if (wrong != 0) ++wrongCases;
                }
            }
        }
    }
    EXPECT_EQ(wrongCases, 0);
    DeleteObject(bands);
    DeleteObject(everything);
    SelectObject(sourceDc, oldBitmap);
    DeleteDC(sourceDc);
    DeleteObject(sourceBitmap);
}
