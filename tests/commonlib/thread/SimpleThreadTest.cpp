#include "commonlib/thread/SimpleThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/sync/Thread.h"

namespace {

using namespace std::chrono_literals;

// A gate the test opens; every wait has a deadline so a fault fails instead of hanging.
class Gate {
public:
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool WaitOpen(std::chrono::milliseconds limit = 10s) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

class CTestThread : public CSimpleThread {
public:
    explicit CTestThread(std::function<void(CTestThread&)> body) : m_body(std::move(body)) {}
    ~CTestThread() override { Stop(10000); }

    std::atomic<int> runs{0};
    Gate started;

protected:
    int Run() override {
        ++runs;
        started.Open();
        m_body(*this);
        return 0;
    }

private:
    std::function<void(CTestThread&)> m_body;
};

}  // namespace

TEST(SimpleThreadTest, StartWhileRunningStartsNothing) {
    std::atomic<int> flagAtStart{-1};
    CTestThread thread([&](CTestThread& self) {
        flagAtStart = self.GetStopFlagPtr()->load();
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (self.GetStopFlagPtr()->load() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
    });
    EXPECT_TRUE(thread.Stop(0));  // no thread yet
    EXPECT_EQ(thread.GetThreadId(), 0u);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.started.WaitOpen());
    EXPECT_NE(thread.GetThreadId(), 0u);
    EXPECT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.GetStopFlagPtr()->load(), 1);

    // Ended and released: the next Start runs the body again with a cleared flag.
    flagAtStart = -1;
    ASSERT_TRUE(thread.Start());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (flagAtStart == -1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 2);
    EXPECT_EQ(flagAtStart, 0);
}

TEST(SimpleThreadTest, RunSeesTheStopFlagThroughThePointer) {
    std::atomic<int> seen{-1};
    CTestThread thread([&](CTestThread& self) {
        const std::atomic<std::uint8_t>* flag = self.GetStopFlagPtr();
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (flag->load() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        seen = flag->load();
    });
    const std::atomic<std::uint8_t>* flag = thread.GetStopFlagPtr();
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.started.WaitOpen());
    EXPECT_EQ(flag->load(), 0);
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(thread.GetStopFlagPtr(), flag);  // stable, so a worker may keep the pointer
}

TEST(SimpleThreadTest, StopTimesOutOnAThreadThatIgnoresItsFlag) {
    Gate release;
    CTestThread thread([&](CTestThread&) { release.WaitOpen(); });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.started.WaitOpen());

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread.Stop(50));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);
    EXPECT_EQ(thread.GetStopFlagPtr()->load(), 1);

    // The abandoned thread still runs: no second Run may start beside it.
    EXPECT_TRUE(thread.Start());
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.GetStopFlagPtr()->load(), 1);
    EXPECT_FALSE(thread.Stop(0));

    release.Open();
    EXPECT_TRUE(thread.Stop(10000));  // waits for the detached thread's end
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 2);
}

TEST(SimpleThreadTest, ExceptionFromRunEndsOnlyTheThread) {
    CTestThread thread([](CTestThread&) { throw std::runtime_error("boom"); });
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.runs, 2);
}

TEST(SimpleThreadTest, ThreadIdIsThePlatformIdOfEachRun) {
    std::atomic<DWORD> inside{0};
    CTestThread thread([&](CTestThread&) { inside = GetCurrentThreadId(); });
    ASSERT_TRUE(thread.Start());
    const DWORD first = thread.GetThreadId();  // known as soon as Start returns
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(first, inside.load());
    EXPECT_NE(first, GetCurrentThreadId());

    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.GetThreadId(), inside.load());
    EXPECT_NE(thread.GetThreadId(), first);
}
