#include "ui/render/RenderClip.h"

#include <gtest/gtest.h>

#include "support/Canvas.h"
#include "support/RectCheck.h"
#include "ui/render/RenderEngine.h"

using namespace SkinUI;
using testsupport::Canvas;

namespace {
constexpr DWORD kWhite = 0xFFFFFFFF;

// Fills the whole canvas and returns the box of what got the colour.
RECT FillAll(Canvas& canvas, DWORD argb) {
    CUIRenderEngine::FillColor(canvas.Dc(), RECT{0, 0, canvas.Width(), canvas.Height()}, argb);
    RECT box{canvas.Width(), canvas.Height(), 0, 0};
    for (LONG y = 0; y < canvas.Height(); ++y) {
        for (LONG x = 0; x < canvas.Width(); ++x) {
            if (canvas.Pixel(x, y) != argb) continue;
            box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
        }
    }
    return box;
}

}  // namespace

TEST(RenderClipTest, NestedClipsNarrowAndRestoreTheClipTheDcHad) {
    Canvas canvas(20, 20);
    HRGN original = CreateRectRgn(0, 0, 18, 18);
    SelectClipRgn(canvas.Dc(), original);
    {
        CUIRenderClip outer;
        ASSERT_TRUE(outer.ClipToRect(canvas.Dc(), RECT{0, 0, 10, 10}));
        {
            CUIRenderClip inner;
            ASSERT_TRUE(inner.ClipToRect(canvas.Dc(), RECT{5, 5, 20, 20}));
            EXPECT_EQ(FillAll(canvas, 0xFFFF0000), (RECT{5, 5, 10, 10}));
            // Clipping again on the same object starts from the clip before it, not the narrowed one.
            ASSERT_TRUE(inner.ClipToRect(canvas.Dc(), RECT{2, 2, 30, 30}));
            EXPECT_EQ(FillAll(canvas, 0xFF00FF00), (RECT{2, 2, 10, 10}));
            // The outer clip can be selected again while the inner one is active, and back.
            SelectClipRgn(canvas.Dc(), inner.SavedRegion());
            EXPECT_EQ(FillAll(canvas, 0xFF00FF00), (RECT{0, 0, 10, 10}));
            SelectClipRgn(canvas.Dc(), inner.CurrentRegion());
            EXPECT_EQ(FillAll(canvas, 0xFF0000FF), (RECT{2, 2, 10, 10}));
        }
        EXPECT_EQ(FillAll(canvas, 0xFF123456), (RECT{0, 0, 10, 10}));
    }
    EXPECT_EQ(FillAll(canvas, 0xFF654321), (RECT{0, 0, 18, 18})) << "the DC's own clip is back";
    DeleteObject(original);
}

TEST(RenderClipTest, WithoutAClipBeforeTheSavedRegionIsTheWholeDc) {
    Canvas canvas(20, 20);
    {
        CUIRenderClip clip;
        ASSERT_TRUE(clip.ClipToRoundRect(canvas.Dc(), RECT{4, 4, 16, 16}, 0, 0));
        EXPECT_EQ(FillAll(canvas, 0xFFFF0000), (RECT{4, 4, 16, 16}));
        SelectClipRgn(canvas.Dc(), clip.SavedRegion());
        EXPECT_EQ(FillAll(canvas, 0xFF00FF00), (RECT{0, 0, 20, 20}));
        SelectClipRgn(canvas.Dc(), clip.CurrentRegion());
        EXPECT_EQ(FillAll(canvas, 0xFF0000FF), (RECT{4, 4, 16, 16}));
    }
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(canvas.Dc(), region), 0) << "no clip again";
    DeleteObject(region);
    CUIRenderClip unused;
    EXPECT_EQ(unused.SavedRegion(), nullptr);
    EXPECT_EQ(unused.CurrentRegion(), nullptr);
}
