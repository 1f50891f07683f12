#include "platform/sync/Thread.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/sync/Event.h"
#include "platform/types/ErrorCodes.h"

namespace {

struct Job {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set as the job's last touch of this struct
    std::atomic<DWORD> seenId{0};
    DWORD result = 0;
    ~Job() {
        CloseHandle(go);
        CloseHandle(done);
    }
};

DWORD RunJob(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    job->seenId = GetCurrentThreadId();
    WaitForSingleObject(job->go, 5000);
    const DWORD result = job->result;
    SetEvent(job->done);
    return result;
}

}  // namespace

TEST(ThreadTest, HandleSignalsOnExitAndCarriesTheExitCode) {
    Job job;
    job.result = 42;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunJob, &job, 0, &id);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);

    // TerminateThread stops nothing; the thread ends on its own, with its own code.
    EXPECT_FALSE(TerminateThread(thread, 1));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    SetEvent(job.go);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(job.seenId.load(), id);  // the id handed out is the one the thread sees
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(TerminateThread(thread, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // Closing the handle first leaves the thread running to its end.
    Job detached;
    thread = CreateThread(nullptr, 64 * 1024, RunJob, &detached, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(detached.go);
    EXPECT_EQ(WaitForSingleObject(detached.done, 5000), WAIT_OBJECT_0);
}

namespace {

std::atomic<bool> g_threadStateGone{false};

struct SlowThreadState {
    ~SlowThreadState() {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        g_threadStateGone = true;
    }
};

DWORD MakeThreadState(LPVOID) {
    thread_local SlowThreadState state;
    (void)state;
    return 7;
}

}  // namespace

TEST(ThreadTest, HandleSignalsOnlyAfterTheThreadsOwnStateIsGone) {
    // A thread's message queue and windows live in thread_local state; a waiter must not see them alive.
    HANDLE thread = CreateThread(nullptr, 0, MakeThreadState, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(g_threadStateGone.load());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
}
