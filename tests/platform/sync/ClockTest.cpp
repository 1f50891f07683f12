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

TEST(ClockTest, LocalTimeMatchesTheCLibrary) {
    SYSTEMTIME now{};
    const std::time_t seconds = std::time(nullptr);
    GetLocalTime(&now);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    if (parts.tm_sec == 59) GTEST_SKIP() << "too close to a minute edge to compare";
    EXPECT_EQ(now.wYear, parts.tm_year + 1900);
    EXPECT_EQ(now.wMonth, parts.tm_mon + 1);
    EXPECT_EQ(now.wDay, parts.tm_mday);
    EXPECT_EQ(now.wDayOfWeek, parts.tm_wday);
    EXPECT_EQ(now.wHour * 60 + now.wMinute, parts.tm_hour * 60 + parts.tm_min);
}
