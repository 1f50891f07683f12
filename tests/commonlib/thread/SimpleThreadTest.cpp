#include "commonlib/thread/SimpleThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "platform/sync/Thread.h"

namespace {

using namespace std::chrono_literals;

// Waits for `flag` to become nonzero; the deadline turns a fault into a failure, not a hang.
void WaitForStop(const std::atomic<std::uint8_t>* flag) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (flag->load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
}

class CTestThread : public CSimpleThread {
public:
    explicit CTestThread(std::function<void(CTestThread&)> body) : m_body(std::move(body)) {}
    ~CTestThread() override { Stop(10000); }

    std::atomic<int> runs{0};
    std::atomic<int> flagAtStart{-1};
    std::atomic<DWORD> runThreadId{0};

protected:
    int Run() override {
        flagAtStart = GetStopFlagPtr()->load();
        runThreadId = GetCurrentThreadId();
        ++runs;
        m_body(*this);
        return 0;
    }

private:
    std::function<void(CTestThread&)> m_body;
};

bool WaitForRuns(const CTestThread& thread, int runs) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (thread.runs < runs && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return thread.runs == runs;
}

}  // namespace

TEST(SimpleThreadTest, StartWhileRunningStartsNothingAndRunSeesTheStopFlagThroughThePointer) {
    std::atomic<int> seenAtEnd{-1};
    CTestThread thread([&](CTestThread& self) {
        WaitForStop(self.GetStopFlagPtr());
        seenAtEnd = self.GetStopFlagPtr()->load();
    });
    const std::atomic<std::uint8_t>* flag = thread.GetStopFlagPtr();
    EXPECT_TRUE(thread.Stop(0));  // no thread yet
    EXPECT_EQ(thread.GetThreadId(), 0u);
    ASSERT_TRUE(thread.Start());
    const DWORD first = thread.GetThreadId();  // known as soon as Start returns
    ASSERT_TRUE(WaitForRuns(thread, 1));
    EXPECT_EQ(first, thread.runThreadId.load());
    EXPECT_NE(first, GetCurrentThreadId());
    EXPECT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(seenAtEnd, 1);
    EXPECT_EQ(thread.GetStopFlagPtr(), flag);  // stable, so a worker may keep the pointer

    // Ended and released: the next Start runs the body again with a cleared flag, on a new thread.
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitForRuns(thread, 2));
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.flagAtStart, 0);
    EXPECT_EQ(thread.GetThreadId(), thread.runThreadId.load());
    EXPECT_NE(thread.GetThreadId(), first);
}

TEST(SimpleThreadTest, StopTimesOutOnAThreadThatIgnoresItsFlag) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    CTestThread thread([released](CTestThread&) { released.wait_for(10s); });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitForRuns(thread, 1));

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread.Stop(50));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);
    EXPECT_EQ(thread.GetStopFlagPtr()->load(), 1);

    // The abandoned thread still runs: no second Run may start beside it.
    EXPECT_TRUE(thread.Start());
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.GetStopFlagPtr()->load(), 1);
    EXPECT_FALSE(thread.Stop(0));

    release.set_value();
    EXPECT_TRUE(thread.Stop(10000));  // waits for the detached thread's end
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 2);
}

TEST(SimpleThreadTest, ExceptionFromRunEndsOnlyTheThread) {
    CTestThread thread([](CTestThread&) { throw std::runtime_error("boom"); });
    for (int run = 1; run <= 2; ++run) {
        ASSERT_TRUE(thread.Start());
        EXPECT_TRUE(thread.Stop(10000));
    }
    EXPECT_EQ(thread.runs, 2);
}
