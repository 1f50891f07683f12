#include "platform/sync/CriticalSection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sync/Thread.h"

TEST(CriticalSectionTest, NestsForTheOwnerAndKeepsTheCount) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));

    // Another thread cannot get in until every level is left.
    auto otherTries = [&] {
        BOOL got = FALSE;
        std::thread([&] {
            got = TryEnterCriticalSection(&section);
            if (got) LeaveCriticalSection(&section);
        }).join();
        return got;
    };
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    EXPECT_FALSE(otherTries());
    LeaveCriticalSection(&section);
    EXPECT_TRUE(otherTries());
    DeleteCriticalSection(&section);
}

TEST(CriticalSectionTest, ExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long long total = 0;  // plain on purpose: the section is all that protects it
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);  // nested, as the report classes re-enter
                if (inside.fetch_add(1) != 0) overlapped = true;
                ++total;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(total, 4 * 5000);
    DeleteCriticalSection(&section);
}
