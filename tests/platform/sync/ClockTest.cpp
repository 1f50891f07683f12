#include "platform/sync/Clock.h"

#include <gtest/gtest.h>

#include <ctime>

TEST(ClockTest, TickCountsAndCountersAdvanceTogether) {
    const DWORD start32 = GetTickCount();
    const ULONGLONG start64 = GetTickCount64();
    EXPECT_LE(static_cast<DWORD>(start64) - start32, 1u) << "GetTickCount is the low 32 bits of GetTickCount64";
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(30);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_GE(GetTickCount() - start32, 30u);  // unsigned difference, as callers take it across a wrap
    EXPECT_GE(GetTickCount64() - start64, 30u);
    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart, 30);
}
