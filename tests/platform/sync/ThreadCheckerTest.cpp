#include "platform/sync/ThreadChecker.h"

#include <gtest/gtest.h>

#include <thread>

TEST(ThreadCheckerTest, BindsToItsThreadAndRebindsAfterDetach) {
    platform::ThreadChecker checker;
    EXPECT_TRUE(checker.CalledOnValidThread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = checker.CalledOnValidThread(); }).join();
    EXPECT_FALSE(elsewhere);

    checker.Detach();
    std::thread([&] { elsewhere = checker.CalledOnValidThread(); }).join();
    EXPECT_TRUE(elsewhere);                       // the first checker after Detach owns it
    EXPECT_FALSE(checker.CalledOnValidThread());  // so this thread no longer does
}
