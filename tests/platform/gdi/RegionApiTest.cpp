#include "platform/gdi/GdiRegion.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"
#include "support/RectCheck.h"

using testsupport::Canvas;
using testsupport::PixelNear;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kRed = 0xFFFF0000;

void Flood(HDC dc, DWORD argb) {
    platform::FillRectAlpha(dc, RECT{0, 0, 1000, 1000}, argb);
}

}  // namespace

TEST(RegionApiTest, NestedClipsSaveIntersectAndRestore) {
    Canvas canvas(30, 30, kWhite);
    HDC dc = canvas.Dc();
    const int level = SaveDC(dc);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(IntersectClipRect(dc, 5, 5, 25, 25), SIMPLEREGION);
    EXPECT_EQ(SaveDC(dc), 2);
    EXPECT_EQ(IntersectClipRect(dc, 15, 0, 30, 10), SIMPLEREGION);  // the inner clip is [15,25)x[5,10)
    Flood(dc, kRed);
    const RECT inked = canvas.BoundsOfPixelsNot(kWhite);
    EXPECT_EQ((std::vector<LONG>{inked.left, inked.top, inked.right, inked.bottom}),
              (std::vector<LONG>{15, 5, 25, 10}));

    // Back to the outer clip: its whole area fills, nothing outside it.
    EXPECT_TRUE(RestoreDC(dc, -1));
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.bottom, 25);
    Flood(dc, 0xFF00FF00);
    EXPECT_TRUE(PixelNear(canvas.Pixel(5, 24), 0xFF00FF00, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(4, 24), kWhite, 0));

    // Back to no clip at all.
    EXPECT_TRUE(RestoreDC(dc, level));
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(dc, probe), 0);
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 30);
    // Levels that no longer exist cannot be restored.
    EXPECT_FALSE(RestoreDC(dc, 1));
    EXPECT_FALSE(RestoreDC(dc, -1));
    DeleteObject(probe);
}

TEST(RegionApiTest, ClipsSetAsideComeBackWithoutHandles) {
    Canvas canvas(30, 30, kWhite);
    HDC dc = canvas.Dc();
    platform::DcClip none;
    ASSERT_TRUE(platform::SaveClip(dc, &none));
    EXPECT_EQ(none.region, nullptr);
    EXPECT_EQ(platform::CreateClipHandle(none), nullptr);

    // Narrowing keeps what was there before, which later changes to the clip do not touch.
    HRGN band = CreateRectRgn(0, 10, 30, 20);
    SelectClipRgn(dc, band);
    platform::DcClip saved;
    EXPECT_TRUE(platform::NarrowClip(dc, RECT{5, 0, 15, 30}, &saved));
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box, (RECT{5, 10, 15, 20}));
    HRGN dot = CreateRectRgn(0, 0, 1, 1);
    SelectClipRgn(dc, dot);
    DeleteObject(dot);
    HRGN copy = platform::CreateClipHandle(saved);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetRgnBox(copy, &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{0, 10, 30, 20}));

    ASSERT_TRUE(platform::RestoreClip(dc, saved));
    Flood(dc, kRed);
    EXPECT_EQ(canvas.BoundsOfPixelsNot(kWhite), (RECT{0, 10, 30, 20}));
    ASSERT_TRUE(platform::RestoreClip(dc, none));
    EXPECT_EQ(GetClipRgn(dc, copy), 0) << "no clip, as at the start";

    EXPECT_FALSE(platform::SaveClip(nullptr, &saved));
    EXPECT_FALSE(platform::NarrowClip(nullptr, RECT{0, 0, 1, 1}, &saved));
    EXPECT_FALSE(platform::RestoreClip(nullptr, saved));
    DeleteObject(copy);
    DeleteObject(band);
}
