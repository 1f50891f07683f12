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

using testsupport::ARecord;
using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using testsupport::operator+;
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
    bool WaitForResults(const Recorder& recorder, size_t count) {
        return testsupport::PumpMessagesUntil([&] { return recorder.size() >= count; }, 20s);
    }

    CFakeDnsServer m_resolver{
        "127.0.0.1", 0, [](const Bytes& query, CFakeDnsServer& s) {
            s.Reply(testsupport::DnsAnswerTo(query, 0x8180, 2, ARecord(10, 0, 0, 1) + ARecord(10, 0, 0, 2)));
        }};
    NetToolOptions m_options;
    CNetToolThread m_thread;
};

}  // namespace

TEST_F(NetToolThreadTest, ResultsArriveOnTheUiThreadInTheOrderQueued) {
    Recorder recorder;
    EXPECT_FALSE(m_thread.AddNSLookUpTaskWithServers("ab", "127.0.0.1", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddPingTask("ab", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddTraceRouteTask("", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddNSLookUpTask("net.test", nullptr, &Record));
    EXPECT_EQ(m_thread.GetThreadId(), 0u);  // nothing queued, nothing started

    const char* hosts[] = {"abc", "two.test", "three.test"};
    for (const char* host : hosts)
        ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers(host, "127.0.0.9;127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 3));
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(recorder[i].host, hosts[i]);
        EXPECT_EQ(recorder[i].code, 0);
        EXPECT_EQ(recorder[i].text, "10.0.0.1;10.0.0.2");
        EXPECT_EQ(recorder[i].thread, GetCurrentThreadId());
    }
}

TEST_F(NetToolThreadTest, TasksAddedWhileTheWorkerFinishesAreNeverLost) {
    // An Add exactly while the worker is leaving must not take that worker for a live one:
    // it starts a new one.
    Recorder recorder;
    std::atomic<int> leaving{0};
    NetToolOptions options = m_options;
    options.workerLeaving = [&leaving] {
        if (leaving++ == 0) std::this_thread::sleep_for(200ms);
    };
    m_thread.SetOptions(options);
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("first.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return leaving > 0; }));
    const DWORD leavingWorker = m_thread.GetThreadId();
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("handover.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 2));
    EXPECT_EQ(recorder.back().host, "handover.test");
    EXPECT_NE(m_thread.GetThreadId(), leavingWorker);
}

TEST_F(NetToolThreadTest, StopEndsTheRunningLookupBetweenResolvers) {
    CFakeDnsServer silent("127.0.0.2", m_resolver.Port());
    Recorder recorder;
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("slow.test", "127.0.0.2;127.0.0.2;127.0.0.2;127.0.0.1", &recorder,
                                                    &Record));
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("queued.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return silent.QueryCount() >= 1; }));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_thread.Stop(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);  // one resolver's wait, not four
    testsupport::PumpMessagesFor(100ms);
    EXPECT_TRUE(recorder.empty());  // a stopped lookup posts nothing
    EXPECT_LE(silent.QueryCount(), 2);
    EXPECT_EQ(m_resolver.QueryCount(), 0);

    // The task still queued runs with the next start.
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("next.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 2));
    EXPECT_EQ(recorder[0].host, "queued.test");
    EXPECT_EQ(recorder[1].host, "next.test");
}

TEST_F(NetToolThreadTest, DestroyedWhileALookupWaitsFreesNothingTheWorkerUses) {
    CFakeDnsServer silent("127.0.0.2", m_resolver.Port());
    Recorder recorder;
    {
        auto* thread = new CNetToolThread;
        NetToolOptions options = m_options;
        options.dns.timeoutMs = 400;
        thread->SetOptions(options);
        ASSERT_TRUE(thread->AddNSLookUpTaskWithServers("exit.test", "127.0.0.2;127.0.0.1", &recorder, &Record));
        ASSERT_TRUE(thread->AddNSLookUpTaskWithServers("left.test", "127.0.0.1", &recorder, &Record));
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return silent.QueryCount() >= 1; }));
        delete thread;  // its 100 ms stop runs out while the worker waits for the resolver
    }
    // The abandoned worker ends after its current wait, touching only what it holds;
    // the sanitizer would report any use of the deleted object.
    testsupport::PumpMessagesFor(1000ms);
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(m_resolver.QueryCount(), 0);
}
