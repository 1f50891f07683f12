#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/sync/Wait.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr DWORD kDeadlineMs = 5000;  // a wait that should succeed fails the test after this, never hangs

// Starts `count` threads that each wait once on `event`; returns how many were released.
int ReleasedWaiters(HANDLE event, int count, int sets, DWORD waitMs) {
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < count; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, waitMs) == WAIT_OBJECT_0) ++released;
        });
    }
    // Setting an event that is still signalled is a no-op, so let each set be taken first.
    for (int set = 1; set <= sets; ++set) {
        SetEvent(event);
        for (int i = 0; i < 200 && released.load() < set; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& waiter : waiters)
        waiter.join();
    return released.load();
}

}  // namespace

TEST(EventTest, ManualResetReleasesAllAutoResetExactlyOne) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ReleasedWaiters(manual, 3, 1, kDeadlineMs), 3);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(manual));

    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);  // the wait consumed it
    EXPECT_EQ(ReleasedWaiters(automatic, 3, 2, 1000), 2);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    CloseHandle(automatic);

    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"named"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(SetEvent(manual));  // closed
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(EventTest, WaitForMultipleObjectsReturnsTheFirstSignalled) {
    HANDLE events[3] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, FALSE, FALSE, nullptr),
                        CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    {
        SCOPED_TRACE("lowest index wins; an auto-reset one is consumed");
        SetEvent(events[2]);
        SetEvent(events[1]);
        EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
        EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
        ResetEvent(events[2]);
        EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 30), WAIT_TIMEOUT);
    }
    {
        SCOPED_TRACE("a signal from another thread wakes the wait");
        std::thread setter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            SetEvent(events[0]);
        });
        EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, kDeadlineMs), WAIT_OBJECT_0);
        setter.join();
        ResetEvent(events[0]);
    }
    {} {
        SCOPED_TRACE("bad arguments");
        EXPECT_EQ(WaitForMultipleObjects(0, events, FALSE, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        HANDLE withStale[2] = {events[0], reinterpret_cast<HANDLE>(0x7777770)};
        EXPECT_EQ(WaitForMultipleObjects(2, withStale, FALSE, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    for (HANDLE event : events)
        CloseHandle(event);
}
