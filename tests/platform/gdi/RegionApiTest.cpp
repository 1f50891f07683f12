#include "platform/gdi/GdiRegion.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"
#include "support/Canvas.h"

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

TEST(RegionApiTest, SelectedRegionsAreCopiesCombinedWithTheClip) {
    Canvas canvas(30, 30, kWhite);
    HDC dc = canvas.Dc();
    HRGN left = CreateRectRgn(0, 0, 10, 30);
    HRGN right = CreateRectRgn(20, 0, 30, 30);
    HRGN both = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(both, left, right, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(SelectClipRgn(dc, both), COMPLEXREGION);
    // Changing or deleting the handle afterwards does not touch the DC's clip.
    EXPECT_EQ(CombineRgn(both, left, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(DeleteObject(both));
    Flood(dc, kRed);
    EXPECT_TRUE(PixelNear(canvas.Pixel(5, 5), kRed, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(15, 5), kWhite, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(25, 5), kRed, 0));

    // DIFF takes a hole out of the current clip; GetClipRgn hands back a copy.
    HRGN hole = CreateRectRgn(0, 10, 30, 20);
    EXPECT_EQ(ExtSelectClipRgn(dc, hole, RGN_DIFF), COMPLEXREGION);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(dc, copy), 1);
    EXPECT_FALSE(PtInRegion(copy, 5, 15));
    EXPECT_TRUE(PtInRegion(copy, 5, 25));

    // A null region with RGN_COPY removes the clip; with another mode it is an error.
    EXPECT_EQ(ExtSelectClipRgn(dc, nullptr, RGN_AND), RGN_ERROR);
    EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
    Flood(dc, 0xFF0000FF);
    EXPECT_TRUE(PixelNear(canvas.Pixel(15, 15), 0xFF0000FF, 0));

    // An empty clip draws nothing.
    HRGN empty = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(SelectClipRgn(dc, empty), NULLREGION);
    Flood(dc, kRed);
    EXPECT_EQ(canvas.BoundsOfPixelsNot(0xFF0000FF).right, 0);

    for (HRGN r : {left, right, hole, copy, empty})
        EXPECT_TRUE(DeleteObject(r));
}

TEST(RegionApiTest, RoundClipAndBadHandles) {
    Canvas canvas(20, 20, kWhite);
    HRGN round = CreateRoundRectRgn(0, 0, 20, 20, 12, 12);
    SelectObject(canvas.Dc(), round);  // selecting a region sets the clip
    Flood(canvas.Dc(), kRed);
    EXPECT_TRUE(PixelNear(canvas.Pixel(0, 0), kWhite, 0));
    EXPECT_TRUE(PixelNear(canvas.Pixel(10, 0), kRed, 0));
    DeleteObject(round);

    // A deleted handle fails cleanly; it never reaches another object.
    EXPECT_EQ(CombineRgn(round, round, round, RGN_OR), RGN_ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SelectClipRgn(canvas.Dc(), round), RGN_ERROR);
}
