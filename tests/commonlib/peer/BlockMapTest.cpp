#include "commonlib/peer/BlockMap.h"

#include <gtest/gtest.h>

namespace {

std::uint64_t Sum(const std::vector<ByteRange>& ranges) {
    std::uint64_t total = 0;
    for (const ByteRange& r : ranges)
        total += r.Length();
    return total;
}

}  // namespace

TEST(BlockMapTest, EndGameSplitsTheLargestTailInFlight) {
    CBlockMap map(200, 200);
    map.Assign(1, 10);
    map.SetWritten(1, 50);
    // Nothing is free: the idle peer takes the far half of what peer 1 still has to fetch.
    EXPECT_EQ(map.Assign(2, 10), (ByteRange{125, 200}));
    EXPECT_EQ(map.AssignmentOf(1), (ByteRange{0, 125}));
    EXPECT_EQ(Sum(map.Gaps()), 150u);
    {
        // Only peers the caller calls slow give up a part of their tail.
        CBlockMap picky(400, 200);
        picky.Assign(1, 10);
        picky.Assign(2, 10);
        EXPECT_EQ(picky.Assign(3, 10, [](int id) { return id == 1; }), (ByteRange{100, 200}));
        EXPECT_EQ(picky.Assign(4, 10, [](int) { return false; }), std::nullopt);
    }
    {
        // Tails shorter than twice the minimum stay whole.
        CBlockMap small(100, 100);
        small.Assign(1, 10);
        small.SetWritten(1, 90);
        EXPECT_EQ(small.Assign(2, 10), std::nullopt);
    }
    {
        // A peer whose range shrank below what it wrote counts only its range.
        map.SetWritten(1, 125);
        map.Release(1);
        map.SetWritten(2, 75);
        map.Release(2);
        EXPECT_TRUE(map.IsComplete());
    }
}
