#include "commonlib/thread/MainThreadTask.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/sync/Thread.h"
#include "support/MessagePump.h"

namespace {

class MainThreadTaskTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateMainThreadWindow()); }
    void TearDown() override { ShutdownMainThreadQueue(); }
};

void Note(std::string* out, char name) {
    out->push_back(name);
}

}  // namespace

TEST_F(MainThreadTaskTest, TasksFromManyThreadsAllRunInEachPostersOrder) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100'000;
    struct Seen {
        DWORD uiThread = GetCurrentThreadId();
        std::vector<int> last = std::vector<int>(kThreads, -1);
        int ran = 0, outOfOrder = 0, offThread = 0;  // touched on the UI thread only, if all is well
    } seen;
    auto record = [](Seen* s, int thread, int seq) {
        s->offThread += GetCurrentThreadId() != s->uiThread;
        s->outOfOrder += s->last[thread] + 1 != seq;
        s->last[thread] = seq;
        ++s->ran;
    };
    std::vector<std::jthread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                PostToMainThread(MakeMainThreadTask(+record, &seen, t, i));
        });
    }
    ASSERT_TRUE(
        testsupport::PumpMessagesUntil([&] { return seen.ran == kThreads * kPerThread; }, std::chrono::seconds(120)))
        << "ran " << seen.ran;
    EXPECT_EQ(seen.outOfOrder, 0);
    EXPECT_EQ(seen.offThread, 0);
}

TEST_F(MainThreadTaskTest, OneSliceStopsAfterFiftyMillisecondsAndTheRestRunsLaterInOrder) {
    std::string order;
    auto slow = [](std::string* out, char name) {
        out->push_back(name);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    for (char name = 'a'; name < 'a' + 20; ++name)
        PostToMainThread(MakeMainThreadTask(+slow, &order, name));
    const size_t first = RunMainThreadTask();
    EXPECT_GE(first, 1u);
    EXPECT_LE(first, 8u);  // 10 ms each against a 50 ms slice, with slack for a loaded machine
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return order.size() == 20; }));
    EXPECT_EQ(order, "abcdefghijklmnopqrst");
}

TEST_F(MainThreadTaskTest, ShutdownReleasesQueuedTasksUnrunAndRefusesNewOnes) {
    struct Counted : MainThreadTaskBase {
        explicit Counted(std::atomic<int>* alive) : m_alive(alive) { ++*m_alive; }
        ~Counted() override { --*m_alive; }
        void Run() override { ADD_FAILURE() << "ran after shut-down"; }
        std::atomic<int>* m_alive;
    };
    std::atomic<int> alive{0};
    for (int i = 0; i < 100; ++i)
        PostToMainThread(CRefPtr<MainThreadTaskBase>(new Counted(&alive)));
    ShutdownMainThreadQueue();
    EXPECT_EQ(alive.load(), 0);  // released, not leaked
    EXPECT_FALSE(PostToMainThread(CRefPtr<MainThreadTaskBase>(new Counted(&alive))));
    EXPECT_EQ(alive.load(), 0);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
}

TEST_F(MainThreadTaskTest, NestedMessageLoopsKeepThePostingOrder) {
    std::string order;
    // A task that opens a modal loop (a message box, a dialog) while older tasks wait: the
    // loop runs them first, then what the task posted itself.
    auto modal = [](std::string* out, char name) {
        out->push_back(name);
        PostToMainThread(MakeMainThreadTask(&Note, out, 'c'));
        EXPECT_TRUE(testsupport::PumpMessagesUntil([out] { return out->back() == 'c'; }));
    };
    PostToMainThread(MakeMainThreadTask(+modal, &order, 'a'));
    PostToMainThread(MakeMainThreadTask(&Note, &order, 'b'));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, "abc");

    // A modal loop that waits for a task posted before it must get to run that task.
    order.clear();
    auto waitForNext = [](std::string* out, char name) {
        out->push_back(name);
        EXPECT_TRUE(testsupport::PumpMessagesUntil([out] { return out->size() == 2; }));
    };
    PostToMainThread(MakeMainThreadTask(+waitForNext, &order, 'a'));
    PostToMainThread(MakeMainThreadTask(&Note, &order, 'b'));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, "ab");
}
