#include "commonlib/nettool/NetToolThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "commonlib/thread/MainThreadTask.h"
#include "platform/sync/Thread.h"
#include "support/FakeDnsServer.h"
#include "support/MessagePump.h"

using testsupport::CFakeDnsServer;
using namespace std::chrono_literals;

namespace {

struct Result {
    int code;
    std::string host;
    std::string text;
    DWORD thread;
};

// The results reach the callback through the user pointer, as the program's callers do.
using Recorder = std::vector<Result>;  // touched on the UI thread only

void Record(int code, void* user, const std::string& host, const std::string& text) {
    static_cast<Recorder*>(user)->push_back({code, host, text, GetCurrentThreadId()});
}

class NetToolThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        m_options.dns.port = m_resolver.Port();
        m_options.dns.timeoutMs = 300;
        m_options.dns.waitSliceMs = 20;
        m_thread.SetOptions(m_options);
    }
    void TearDown() override {
        m_thread.Stop(10000);
        ShutdownMainThreadQueue();
    }
    bool WaitForResults(size_t count) {
        return testsupport::PumpMessagesUntil([&] { return m_recorder.size() >= count; }, 20s);
    }
    bool Lookup(const char* host, const char* servers, CNetToolThread* thread = nullptr) {
        return (thread ? thread : &m_thread)->AddNSLookUpTaskWithServers(host, servers, &m_recorder, &Record);
    }

    CFakeDnsServer m_resolver{"127.0.0.1", 0, testsupport::AnswerWith({"10.0.0.1", "10.0.0.2"})};
    NetToolOptions m_options;
    Recorder m_recorder;  // before the thread, which may still hold it while it stops
    CNetToolThread m_thread;
};

}  // namespace

TEST_F(NetToolThreadTest, ResultsArriveOnTheUiThreadInOrderAndNoTaskIsLostAtAHandOver) {
    EXPECT_FALSE(Lookup("ab", "127.0.0.1"));
    EXPECT_FALSE(m_thread.AddNSLookUpTask("net.test", nullptr, &Record));
    // An Add exactly while the worker is leaving must not take that worker for a live one:
    // it starts a new one.
    std::atomic<int> leaving{0};
    NetToolOptions options = m_options;
    options.workerLeaving = [&leaving] {
        if (leaving++ == 0) std::this_thread::sleep_for(200ms);
    };
    m_thread.SetOptions(options);
    ASSERT_TRUE(Lookup("abc", "127.0.0.9;127.0.0.1"));
    ASSERT_TRUE(Lookup("two.test", "127.0.0.1"));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return leaving > 0; }));
    const DWORD leavingWorker = m_thread.GetThreadId();
    ASSERT_TRUE(Lookup("handover.test", "127.0.0.1"));
    ASSERT_TRUE(WaitForResults(3));
    EXPECT_NE(m_thread.GetThreadId(), leavingWorker);
    const char* hosts[] = {"abc", "two.test", "handover.test"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_recorder[i].host, hosts[i]);
        EXPECT_EQ(m_recorder[i].code, 0);
        EXPECT_EQ(m_recorder[i].text, "10.0.0.1;10.0.0.2");
        EXPECT_EQ(m_recorder[i].thread, GetCurrentThreadId());
    }
}

TEST_F(NetToolThreadTest, StopEndsTheRunningLookupBetweenResolvers) {
    CFakeDnsServer silent("127.0.0.2", m_resolver.Port());
    ASSERT_TRUE(Lookup("slow.test", "127.0.0.2;127.0.0.2;127.0.0.2;127.0.0.1"));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return silent.QueryCount() >= 1; }));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_thread.Stop(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);  // one resolver's wait, not four
    testsupport::PumpMessagesFor(100ms);
    EXPECT_TRUE(m_recorder.empty());  // a stopped lookup posts nothing
    EXPECT_LE(silent.QueryCount(), 2);
    EXPECT_EQ(m_resolver.QueryCount(), 0);
}

TEST_F(NetToolThreadTest, DestroyedWhileALookupWaitsFreesNothingTheWorkerUses) {
    CFakeDnsServer silent("127.0.0.2", m_resolver.Port());
    {
        auto* thread = new CNetToolThread;
        NetToolOptions options = m_options;
        options.dns.timeoutMs = 400;
        thread->SetOptions(options);
        ASSERT_TRUE(Lookup("exit.test", "127.0.0.2;127.0.0.1", thread));
        ASSERT_TRUE(Lookup("left.test", "127.0.0.1", thread));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return silent.QueryCount() >= 1; }));
        delete thread;  // its 100 ms stop runs out while the worker waits for the resolver
    }
    // The abandoned worker ends after its current wait, touching only what it holds;
    // the sanitizer would report any use of the deleted object.
    testsupport::PumpMessagesFor(1000ms);
    EXPECT_TRUE(m_recorder.empty());
    EXPECT_EQ(m_resolver.QueryCount(), 0);
}
