#include "commonlib/peer/SpeedMeter.h"

#include <gtest/gtest.h>

TEST(SpeedMeterTest, AveragesOverTheWindowAndForgetsOldBursts) {
    CSpeedMeter meter;
    EXPECT_EQ(meter.BytesPerSecond(5000), 0u);
    // A fresh meter is not diluted by seconds before its first sample.
    meter.Add(100'000, 10'000);
    EXPECT_EQ(meter.BytesPerSecond(10'500), 100'000u);
    for (std::uint64_t ms = 11'000; ms < 15'000; ms += 1000)
        meter.Add(100'000, ms);
    EXPECT_EQ(meter.BytesPerSecond(15'000), 100'000u);
    // A stall: the window slides past the samples and the speed falls to zero.
    EXPECT_LT(meter.BytesPerSecond(17'000), 100'000u);
    EXPECT_EQ(meter.BytesPerSecond(30'000), 0u);
    EXPECT_EQ(meter.Total(), 500'000u);
    // A bucket reused after the window wrapped starts from zero (1000 bytes over the 4 s
    // the window has covered so far).
    meter.Add(1000, 30'000);
    EXPECT_EQ(meter.BytesPerSecond(30'000), 250u);
}
