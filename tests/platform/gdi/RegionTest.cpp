#include "platform/gdi/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using platform::Region;

namespace {

std::vector<RECT> R(std::initializer_list<RECT> rects) {
    return rects;
}

bool Same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const RECT& x, const RECT& y) {
               return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
           });
}

}  // namespace

TEST(RegionTest, CombinesIntoCanonicalBands) {
    const Region a(RECT{0, 0, 10, 10});
    const Region b(RECT{5, 5, 15, 15});
    const struct {
        const char* why;
        Region::Op op;
        std::vector<RECT> expected;
        int kind;
    } cases[] = {
        {"and keeps the overlap", Region::Op::And, R({{5, 5, 10, 10}}), SIMPLEREGION},
        {"or makes three bands", Region::Op::Or, R({{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}), COMPLEXREGION},
        {"diff leaves an L", Region::Op::Diff, R({{0, 0, 10, 5}, {0, 5, 5, 10}}), COMPLEXREGION},
        {"xor leaves both Ls", Region::Op::Xor, R({{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}}),
         COMPLEXREGION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const Region result = Region::Combine(a, b, c.op);
        EXPECT_TRUE(Same(result.Rects(), c.expected));
        EXPECT_EQ(result.Kind(), c.kind);
    }
}

TEST(RegionTest, ExtremeCoordinatesStayBoundedAndOrdered) {
    // A window-sized corner on a huge rectangle is cut in a bounded number of rows.
    const Region huge = Region::RoundRect(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 20, INT32_MAX);
    EXPECT_FALSE(huge.IsEmpty());
    EXPECT_LT(huge.Rects().size(), 20000u);
    EXPECT_TRUE(huge.Contains(0, 0));
    // Offsets saturate rather than wrap round.
    Region region(RECT{0, 0, 10, 10});
    region.Offset(INT32_MAX, 0);
    EXPECT_EQ(region.Bounds().right, INT32_MAX);
    EXPECT_LE(region.Bounds().left, region.Bounds().right);
}

TEST(RegionTest, RoundCornersAreCutByTheGivenEllipse) {
    // The kept span [from, to) of the first rows of a 20 x 12 rectangle, top and bottom alike.
    const struct {
        const char* why;
        int ellipse;
        std::vector<std::pair<LONG, LONG>> rows;
    } cases[] = {
        {"2 x 2 takes the corner pixel", 2, {{1, 19}, {0, 20}}},
        {"6 x 6 rounds over three rows", 6, {{3, 17}, {1, 19}, {1, 19}, {0, 20}}},
        {"1 x 1 cuts nothing", 1, {{0, 20}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const Region region = Region::RoundRect(RECT{0, 0, 20, 12}, c.ellipse, c.ellipse);
        for (size_t i = 0; i < c.rows.size(); ++i) {
            SCOPED_TRACE(i);
            for (const LONG y : {static_cast<LONG>(i), static_cast<LONG>(11 - i)}) {
                const auto [from, to] = c.rows[i];
                EXPECT_FALSE(region.Contains(from - 1, y));
                EXPECT_TRUE(region.Contains(from, y));
                EXPECT_TRUE(region.Contains(to - 1, y));
                EXPECT_FALSE(region.Contains(to, y));
            }
        }
    }
}

TEST(RegionTest, ClippingToARectangleGivesTheBandsTheGeneralWalkGives) {
    // Regions of several bands: an L, a frame with a hole, bands that become alike when cut.
    const Region l = Region::Combine(Region(RECT{0, 0, 40, 10}), Region(RECT{0, 10, 10, 40}), Region::Op::Or);
    const Region frame = Region::Combine(Region(RECT{0, 0, 40, 40}), Region(RECT{10, 10, 30, 30}), Region::Op::Diff);
    const Region round = Region::RoundRect(RECT{0, 0, 40, 40}, 12, 12);
    // A speck far away makes the rectangle a region of two rectangles, which takes the general walk.
    const Region speck(RECT{1000, 1000, 1001, 1001});
    for (const Region* region : {&l, &frame, &round}) {
        for (const RECT& rect : {RECT{0, 0, 10, 40}, RECT{5, 5, 35, 35}, RECT{-5, 8, 12, 12}, RECT{12, 12, 28, 28},
                                 RECT{50, 50, 60, 60}, RECT{0, 0, 40, 40}}) {
            SCOPED_TRACE(::testing::Message()
                         << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
            const Region general =
                Region::Combine(*region, Region::Combine(Region(rect), speck, Region::Op::Or), Region::Op::And);
            EXPECT_TRUE(Same(Region::Combine(*region, Region(rect), Region::Op::And).Rects(), general.Rects()));
            EXPECT_TRUE(Same(Region::Combine(Region(rect), *region, Region::Op::And).Rects(), general.Rects()));
        }
    }
}

TEST(RegionTest, AddingWhatARegionAlreadyHoldsLeavesItAsItWas) {
    const Region window(RECT{0, 0, 400, 300});
    const Region twoBands = Region::Combine(Region(RECT{10, 10, 50, 20}), Region(RECT{30, 40, 60, 50}), Region::Op::Or);
    const Region same(RECT{0, 0, 400, 300});
    const Region empty;
    for (const Region* inner : {&twoBands, &same, &empty}) {
        EXPECT_TRUE(Same(Region::Combine(window, *inner, Region::Op::Or).Rects(), window.Rects()));
        EXPECT_TRUE(Same(Region::Combine(*inner, window, Region::Op::Or).Rects(), window.Rects()));
    }
    // An empty region adds nothing to one of several bands; a band beyond the rectangle is added.
    EXPECT_TRUE(Same(Region::Combine(twoBands, Region(), Region::Op::Or).Rects(), twoBands.Rects()));
    EXPECT_EQ(Region::Combine(Region(RECT{0, 0, 10, 10}), Region(RECT{0, 0, 10, 11}), Region::Op::Or).Bounds().bottom,
              11);
}

// Random regions on a small grid, every operation checked pixel by pixel, and the result in
// canonical bands (sorted, spans apart, touching bands different), so equal areas compare equal.
TEST(RegionTest, EveryOperationGivesTheRightPixelsInCanonicalBands) {
    uint32_t seed = 7;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<LONG>((seed >> 8) % static_cast<uint32_t>(range));
    };
    auto randomRegion = [&] {
        Region region;
        const int pieces = next(5);
        for (int k = 0; k < pieces; ++k) {
            const LONG left = next(18), top = next(18);
            const Region piece(RECT{left, top, left + 1 + next(8), top + 1 + next(8)});
            region = Region::Combine(region, piece, next(4) == 0 ? Region::Op::Diff : Region::Op::Or);
        }
        return region;
    };
    auto canonical = [](const Region& region) {
        const std::vector<RECT>& rects = region.Rects();
        size_t bandStart = 0, previousStart = 0, previousEnd = 0;
        while (bandStart < rects.size()) {
            size_t bandEnd = bandStart + 1;
            while (bandEnd < rects.size() && rects[bandEnd].top == rects[bandStart].top)
                ++bandEnd;
            for (size_t k = bandStart; k < bandEnd; ++k) {
                const RECT& r = rects[k];
                if (r.left >= r.right || r.top >= r.bottom || r.bottom != rects[bandStart].bottom) return false;
                if (k > bandStart && rects[k - 1].right >= r.left) return false;
            }
            if (bandStart > 0) {
                const RECT& above = rects[previousStart];
                if (above.bottom > rects[bandStart].top) return false;
                const bool alike =
                    above.bottom == rects[bandStart].top && previousEnd - previousStart == bandEnd - bandStart &&
                    std::equal(rects.begin() + previousStart, rects.begin() + previousEnd, rects.begin() + bandStart,
                               [](const RECT& x, const RECT& y) { return x.left == y.left && x.right == y.right; });
                if (alike) return false;
            }
            previousStart = bandStart;
            previousEnd = bandEnd;
            bandStart = bandEnd;
        }
        return true;
    };
    const Region::Op ops[] = {Region::Op::And, Region::Op::Or, Region::Op::Xor, Region::Op::Diff};
    for (int round = 0; round < 300; ++round) {
        const Region a = randomRegion(), b = randomRegion();
        ASSERT_TRUE(canonical(a));
        for (Region::Op op : ops) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " op " << static_cast<int>(op));
            const Region result = Region::Combine(a, b, op);
            ASSERT_TRUE(canonical(result));
            for (LONG y = -1; y < 27; ++y) {
                for (LONG x = -1; x < 27; ++x) {
                    const bool inA = a.Contains(x, y), inB = b.Contains(x, y);
                    const bool expected = op == Region::Op::And   ? inA && inB
                                          : op == Region::Op::Or  ? inA || inB
                                          : op == Region::Op::Xor ? inA != inB
                                                                  : inA && !inB;
                    ASSERT_EQ(result.Contains(x, y), expected) << x << "," << y;
                }
            }
        }
    }
}
