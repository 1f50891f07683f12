#include "commonlib/thread/SimpleThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

class CTestThread : public CSimpleThread {
public:
    explicit CTestThread(std::function<void(const std::atomic<std::uint8_t>*)> body) : m_body(std::move(body)) {}
    ~CTestThread() override { Stop(10000); }

    std::atomic<int> runs{0};
    std::atomic<int> flagAtStart{-1};

    // The deadline turns a fault into a failure, not a hang.
    bool WaitForRuns(int count) const {
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             runs < count && std::chrono::steady_clock::now() < deadline;)
            std::this_thread::sleep_for(1ms);
        return runs == count;
    }

protected:
    int Run() override {
        flagAtStart = GetStopFlagPtr()->load();
        ++runs;
        m_body(GetStopFlagPtr());
        return 0;
    }

private:
    std::function<void(const std::atomic<std::uint8_t>*)> m_body;
};

}  // namespace

TEST(SimpleThreadTest, StartWhileRunningStartsNothingAndRunSeesTheStopFlagThroughThePointer) {
    std::atomic<int> seenAtEnd{-1};
    CTestThread thread([&](const std::atomic<std::uint8_t>* flag) {
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             flag->load() == 0 && std::chrono::steady_clock::now() < deadline;)
            std::this_thread::sleep_for(1ms);
        seenAtEnd = flag->load();
    });
    ASSERT_TRUE(thread.Start());
    const DWORD first = thread.GetThreadId();
    ASSERT_TRUE(thread.WaitForRuns(1));
    EXPECT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(seenAtEnd, 1);

    // Ended and released: the next Start runs the body again with a cleared flag, on a new thread.
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.WaitForRuns(2));
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.flagAtStart, 0);
    EXPECT_NE(thread.GetThreadId(), first);
}

TEST(SimpleThreadTest, StopTimesOutOnAThreadThatIgnoresItsFlag) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    CTestThread thread([released](const std::atomic<std::uint8_t>*) { released.wait_for(10s); });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.WaitForRuns(1));
    EXPECT_FALSE(thread.Stop(50));

    // The abandoned thread still runs: no second Run may start beside it.
    EXPECT_TRUE(thread.Start());
    EXPECT_EQ(thread.runs, 1);
    release.set_value();
    EXPECT_TRUE(thread.Stop(10000));  // waits for the detached thread's end
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.WaitForRuns(2));
}
