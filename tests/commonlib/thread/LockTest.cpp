#include "commonlib/thread/Lock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(LockTest, NestsOnOneThreadAndExcludesOthers) {
    CLock lock;
    long long total = 0;  // unsynchronised on purpose: only the lock protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                CAutoLock outer(lock);
                CAutoLock inner(lock);  // re-entry, as the download log does
                const long long seen = total;
                total = seen + 1;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(total, 80000);
    EXPECT_EQ(lock.GetLockCount(), 0);
}
