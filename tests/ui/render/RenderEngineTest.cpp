#include "ui/render/RenderEngine.h"

#include <gtest/gtest.h>

#include <string>

#include "support/Canvas.h"
#include "support/PngBytes.h"
#include "support/RectCheck.h"

using namespace SkinUI;
using testsupport::Canvas;
using testsupport::PixelNear;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kGreen = 0xFF00FF00;
constexpr DWORD kBlue = 0xFF0000FF;
constexpr DWORD kMagenta = 0xFFFF00FF;

class RenderEngineImageTest : public ::testing::Test {
protected:
    void AddImage(const wchar_t* name, int width, int height, const std::vector<uint32_t>& pixels) {
        ASSERT_TRUE(m_images.AddImage(name, testsupport::PngBytes(width, height, pixels)));
    }
    // A 6x6 image: 2-pixel red corners, green edges, a blue middle.
    void AddNineGrid() {
        std::vector<uint32_t> pixels(36);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 6; ++x) {
                const bool edgeX = x < 2 || x >= 4;
                const bool edgeY = y < 2 || y >= 4;
                pixels[y * 6 + x] = edgeX && edgeY ? kRed : (edgeX || edgeY) ? kGreen : kBlue;
            }
        }
        AddImage(L"grid.png", 6, 6, pixels);
    }
    bool Draw(Canvas& canvas, const RECT& item, const wchar_t* spec, const wchar_t* modifier = L"") {
        const RECT paint{0, 0, canvas.Width(), canvas.Height()};
        return CUIRenderEngine::DrawImageSpec(canvas.Dc(), &m_images, item, paint, spec, modifier);
    }

    CUIImageCache m_images;
};

}  // namespace

TEST(RenderEngineTest, TranslucentFramesBlendEachPixelOnce) {
    Canvas canvas(12, 12);
    // A translucent frame: corners, where two bands meet, get the same colour as edges.
    ASSERT_TRUE(CUIRenderEngine::StrokeRect(canvas.Dc(), RECT{1, 1, 11, 11}, 2, 0x80000000));
    const DWORD half = canvas.Pixel(5, 1);
    EXPECT_TRUE(PixelNear(half, 0xFF7F7F7F));
    for (POINT p : {POINT{1, 1}, POINT{10, 10}, POINT{2, 6}})
        EXPECT_EQ(canvas.Pixel(p.x, p.y), half) << p.x << "," << p.y;
    EXPECT_RECT(canvas.BoundsOfPixelsNot(kWhite), 1, 1, 11, 11);
    EXPECT_EQ(canvas.Pixel(3, 3), kWhite);
}

TEST_F(RenderEngineImageTest, SourcePicksPartOfTheImageClippedToItAndDestPlacesIt) {
    AddImage(L"strip.png", 4, 1, {kRed, kGreen, kBlue, kWhite});
    Canvas canvas(30, 30, 0xFF000000);
    ASSERT_TRUE(Draw(canvas, RECT{5, 5, 15, 15}, L"file='strip.png' source='1,0,2,1'"));
    EXPECT_EQ(canvas.Pixel(5, 5), kGreen);
    EXPECT_EQ(canvas.Pixel(14, 14), kGreen);
    EXPECT_RECT(canvas.BoundsOfPixelsNot(0xFF000000), 5, 5, 15, 15);

    // "dest" is relative to the item, and nothing is drawn outside the item.
    Canvas placed(30, 30, 0xFF000000);
    ASSERT_TRUE(Draw(placed, RECT{10, 10, 20, 20}, L"file='strip.png' source='2,0,3,1' dest='5,2,40,4'"));
    EXPECT_RECT(placed.BoundsOfPixelsNot(0xFF000000), 15, 12, 20, 14);
    EXPECT_EQ(placed.Pixel(19, 12), kBlue);

    // Modifier keys replace the base image spec's own.
    Canvas modified(10, 10, 0xFF000000);
    ASSERT_TRUE(Draw(modified, RECT{0, 0, 10, 10}, L"file='strip.png' source='0,0,1,1' fade='255'",
                     L"source='2,0,3,1' dest='0,0,5,5'"));
    EXPECT_EQ(modified.Pixel(0, 0), kBlue);
    EXPECT_RECT(modified.BoundsOfPixelsNot(0xFF000000), 0, 0, 5, 5);

    // A source reaching past the image is clipped to it.
    const struct {
        const char* why;
        const wchar_t* spec;
        DWORD left, right;
    } clipped[] = {
        {"past the right edge", L"file='strip.png' source='2,0,9,1'", kBlue, kWhite},
        {"before the left edge", L"file='strip.png' source='-3,0,2,1'", kRed, kGreen},
        {"past the bottom", L"file='strip.png' source='1,0,2,50'", kGreen, kGreen},
    };
    for (const auto& c : clipped) {
        SCOPED_TRACE(c.why);
        Canvas clip(10, 10, 0xFF000000);
        ASSERT_TRUE(Draw(clip, RECT{0, 0, 10, 10}, c.spec));
        EXPECT_EQ(clip.Pixel(0, 5), c.left);
        EXPECT_EQ(clip.Pixel(9, 5), c.right);
    }
}

TEST_F(RenderEngineImageTest, NineGridKeepsCornersAndHoleLeavesTheMiddle) {
    AddNineGrid();
    const struct {
        const char* why;
        const wchar_t* spec;
        DWORD middle;
    } cases[] = {
        {"stretched middle", L"file='grid.png' corner='2,2,2,2'", kBlue},
        {"hole", L"file='grid.png' corner='2,2,2,2' hole='true'", 0xFF000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Canvas canvas(24, 16, 0xFF000000);
        ASSERT_TRUE(Draw(canvas, RECT{0, 0, 24, 16}, c.spec));
        // Corners stay 2x2 whatever the size.
        for (POINT p : {POINT{0, 0}, POINT{1, 1}, POINT{22, 0}, POINT{23, 1}, POINT{0, 14}, POINT{23, 15}})
            EXPECT_EQ(canvas.Pixel(p.x, p.y), kRed) << p.x << "," << p.y;
        for (POINT p : {POINT{2, 0}, POINT{21, 1}, POINT{0, 2}, POINT{1, 13}, POINT{23, 8}, POINT{12, 15}})
            EXPECT_EQ(canvas.Pixel(p.x, p.y), kGreen) << p.x << "," << p.y;
        for (POINT p : {POINT{2, 2}, POINT{12, 8}, POINT{21, 13}})
            EXPECT_EQ(canvas.Pixel(p.x, p.y), c.middle) << p.x << "," << p.y;
    }
}

TEST_F(RenderEngineImageTest, FadeMaskAndTilingOverAHugeDestination) {
    AddImage(L"black.png", 1, 1, {0xFF000000});
    AddImage(L"keyed.png", 2, 1, {kMagenta, kBlue});
    AddImage(L"pair.png", 2, 1, {kRed, kBlue});
    {
        SCOPED_TRACE("fade");
        Canvas canvas(4, 4);
        ASSERT_TRUE(Draw(canvas, RECT{0, 0, 4, 4}, L"file='black.png' fade='128'"));
        EXPECT_TRUE(PixelNear(canvas.Pixel(2, 2), 0xFF7F7F7F));
    }
    {
        SCOPED_TRACE("mask");
        Canvas canvas(4, 2);
        ASSERT_TRUE(Draw(canvas, RECT{0, 0, 4, 2}, L"file='keyed.png' mask='#FFFF00FF'"));
        EXPECT_EQ(canvas.Pixel(0, 0), kWhite);
        EXPECT_EQ(canvas.Pixel(1, 1), kWhite);
        EXPECT_EQ(canvas.Pixel(2, 0), kBlue);
    }
    {
        SCOPED_TRACE("tiles over a destination as wide as numbers go, without overflow or a long loop");
        Canvas tiled(6, 2);
        ASSERT_TRUE(Draw(tiled, RECT{1, 0, 6, 2}, L"file='pair.png' xtiled='true' dest='-2147483648,0,2147483647,2'"));
        EXPECT_EQ(tiled.Pixel(0, 0), kWhite);
        EXPECT_NE(tiled.Pixel(1, 0), tiled.Pixel(2, 0));
        EXPECT_EQ(tiled.Pixel(1, 0), tiled.Pixel(3, 0));
    }
}

TEST_F(RenderEngineImageTest, FailsWithoutDrawingOnlyForBadSpecsAndImages) {
    AddImage(L"strip.png", 4, 1, {kRed, kGreen, kBlue, kWhite});
    const struct {
        const char* why;
        const wchar_t* spec;
        const wchar_t* modifier;
    } failures[] = {
        {"missing file", L"file='nothere.png'", L""},
        {"unknown key", L"file='strip.png' colour='1'", L""},
        {"source wholly outside the image", L"file='strip.png' source='4,0,6,1'", L""},
        {"bad modifier", L"file='strip.png'", L"source='x'"},
        {"short rectangle", L"file='strip.png' source='0,0,1'", L""},
        {"fade out of range", L"file='strip.png' fade='256'", L""},
        {"unterminated value", L"file='strip.png", L""},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.why);
        Canvas canvas(8, 8);
        EXPECT_FALSE(Draw(canvas, RECT{0, 0, 8, 8}, c.spec, c.modifier));
        EXPECT_EQ(canvas.BoundsOfPixelsNot(kWhite).right, 0);
    }
    Canvas canvas(8, 8);
    // Nothing of it in the paint rectangle is not a failure: callers drop specs that fail.
    EXPECT_TRUE(
        CUIRenderEngine::DrawImageSpec(canvas.Dc(), &m_images, RECT{0, 0, 4, 4}, RECT{4, 4, 8, 8}, L"strip.png"));
    EXPECT_EQ(canvas.BoundsOfPixelsNot(kWhite).right, 0);
}

TEST_F(RenderEngineImageTest, AnImageHidesAnotherOnlyWhereItIsSurelyOpaque) {
    constexpr DWORD kClear = 0x00000000, kGlass = 0x80FF0000;
    std::vector<uint32_t> opaque(64, kRed);
    std::vector<uint32_t> lowerHalf(64, kClear);
    std::fill(lowerHalf.begin() + 32, lowerHalf.end(), kGreen);
    std::vector<uint32_t> glassEdge(64, kBlue);
    for (int y = 0; y < 8; ++y)
        glassEdge[y * 8 + 7] = kGlass;
    AddImage(L"opaque.png", 8, 8, opaque);
    AddImage(L"half.png", 8, 8, lowerHalf);
    AddImage(L"edge.png", 8, 8, glassEdge);
    const RECT item{0, 0, 40, 10};
    const RECT whole{0, 0, 40, 10};
    const struct {
        const char* why;
        const wchar_t* spec;
        RECT dest;
        const wchar_t* under;
        bool hides;
    } cases[] = {
        {"opaque over the same place", L"opaque.png", whole, L"edge.png", true},
        {"the opaque rows of an image", L"file='half.png' source='0,4,8,8'", whole, L"edge.png", true},
        {"rows with clear pixels", L"half.png", whole, L"edge.png", false},
        {"a translucent column", L"edge.png", whole, L"opaque.png", false},
        {"but not the part drawn", L"file='edge.png' source='0,0,7,8'", whole, L"opaque.png", true},
        {"faded", L"file='opaque.png' fade='254'", whole, L"edge.png", false},
        {"a smaller place", L"opaque.png", RECT{0, 0, 20, 10}, L"edge.png", false},
        {"over what is under it only", L"opaque.png", RECT{0, 0, 20, 10}, L"file='edge.png' dest='2,0,20,10'", true},
        {"a hole in the middle", L"file='opaque.png' corner='2,2,2,2' hole='true'", whole, L"edge.png", false},
        {"corners that leave the middle out", L"file='opaque.png' corner='4,0,4,0'", whole, L"edge.png", false},
        {"tiled", L"file='opaque.png' xtiled='true' ytiled='true'", whole, L"edge.png", true},
        {"a failing spec", L"file='none.png'", whole, L"edge.png", false},
        {"a failing one under it", L"opaque.png", whole, L"file='edge.png' fade='x'", false},
    };
    Canvas canvas(40, 10);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CUIRenderEngine::ImageSpecHides(canvas.Dc(), &m_images, item, item, c.spec, c.dest, c.under),
                  c.hides);
    }
    // Filtered stretching may soften edges: no promise then.
    SetStretchBltMode(canvas.Dc(), HALFTONE);
    EXPECT_FALSE(
        CUIRenderEngine::ImageSpecHides(canvas.Dc(), &m_images, item, item, L"opaque.png", whole, L"edge.png"));
}

// Specs made afresh at every step (a bar's width in its dest) are kept parsed by their text:
// each draws where its own numbers say, however many came before it and whichever failed in
// between, and so does the same text again once many others have pushed it out.
TEST_F(RenderEngineImageTest, SpecsMadeAtEveryStepDrawWhereTheirNumbersSay) {
    AddImage(L"dot.png", 1, 1, {kRed});
    for (int round = 0; round < 2; ++round) {
        for (int k = 0; k < 70; ++k) {
            SCOPED_TRACE(testing::Message() << "round " << round << ", column " << k);
            const std::wstring spec =
                L" file='dot.png' dest='" + std::to_wstring(k) + L",0," + std::to_wstring(k + 1) + L",1' ";
            Canvas canvas(70, 1);
            ASSERT_TRUE(Draw(canvas, RECT{0, 0, 70, 1}, spec.c_str()));
            EXPECT_RECT(canvas.BoundsOfPixelsNot(kWhite), k, 0, k + 1, 1);
            if (k % 7 == 3) {
                const std::wstring broken = L" file='dot.png' dest='" + std::to_wstring(k) + L",0' ";
                EXPECT_FALSE(Draw(canvas, RECT{0, 0, 70, 1}, broken.c_str()));
            }
        }
    }
}
