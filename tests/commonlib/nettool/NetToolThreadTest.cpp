#include "commonlib/nettool/NetToolThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeDnsServer.h"
#include "FakeIcmpNetwork.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/sync/Thread.h"
#include "support/MessagePump.h"

using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using namespace std::chrono_literals;

namespace {

struct Result {
    int code;
    std::string host;
    std::string text;
    DWORD thread;
};

// Receives the callbacks through the user pointer, as the program's callers do.
struct Recorder {
    std::vector<Result> results;  // touched on the UI thread only
    CNetToolThread* chainTo = nullptr;
    int chainLeft = 0;
};

void Record(int code, void* user, const std::string& host, const std::string& text) {
    auto* recorder = static_cast<Recorder*>(user);
    recorder->results.push_back({code, host, text, GetCurrentThreadId()});
    if (recorder->chainTo && recorder->chainLeft-- > 0) {
        // Added from the callback: the worker that posted this is just finding its queue empty.
        recorder->chainTo->AddNSLookUpTaskWithServers(host, "127.0.0.1", user, &Record);
    }
}

CFakeDnsServer::Handler Answering() {
    return [](const Bytes& query, CFakeDnsServer& s) {
        Bytes records = testsupport::ARecord(10, 0, 0, 1);
        const Bytes second = testsupport::ARecord(10, 0, 0, 2);
        records.insert(records.end(), second.begin(), second.end());
        s.Reply(testsupport::DnsAnswerTo(query, 0x8180, 2, records));
    };
}

class NetToolThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        m_options.dns.port = m_resolver.Port();
        m_options.dns.timeoutMs = 300;
        m_options.dns.waitSliceMs = 20;
        m_options.ping.clock = m_icmp.Clock();
        m_options.ping.sleep = [](std::uint32_t) {};
        m_options.ping.openSocket = m_icmp.Factory(true);
        m_options.trace.clock = m_icmp.Clock();
        m_options.trace.openSocket = m_icmp.Factory(true);
        m_thread.SetOptions(m_options);
    }
    void TearDown() override {
        m_thread.Stop(10000);
        ShutdownMainThreadQueue();
    }
    bool WaitForResults(const Recorder& recorder, size_t count) {
        return testsupport::PumpMessagesUntil([&] { return recorder.results.size() >= count; }, 20s);
    }

    CFakeDnsServer m_resolver{"127.0.0.1", 0, Answering()};
    testsupport::CFakeIcmpNetwork m_icmp;
    NetToolOptions m_options;
    CNetToolThread m_thread;
};

}  // namespace

TEST_F(NetToolThreadTest, LookupResultArrivesOnTheUiThread) {
    Recorder recorder;
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("net.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 1));
    const Result& r = recorder.results[0];
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.host, "net.test");
    EXPECT_EQ(r.text, "10.0.0.1;10.0.0.2");
    EXPECT_EQ(r.thread, GetCurrentThreadId());
    EXPECT_NE(r.thread, m_thread.GetThreadId());
    EXPECT_EQ(m_resolver.QueryCount(), 1);
}

TEST_F(NetToolThreadTest, AddRefusesShortHostsAndLookupsWithoutUser) {
    Recorder recorder;
    EXPECT_FALSE(m_thread.AddNSLookUpTaskWithServers("ab", "127.0.0.1", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddNSLookUpTask("ab", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddPingTask("ab", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddTraceRouteTask("", &recorder, &Record));
    EXPECT_FALSE(m_thread.AddNSLookUpTaskWithServers("net.test", "127.0.0.1", nullptr, &Record));
    EXPECT_FALSE(m_thread.AddNSLookUpTask("net.test", nullptr, &Record));
    EXPECT_EQ(m_thread.GetThreadId(), 0u);  // nothing was queued, so nothing started

    EXPECT_TRUE(m_thread.AddNSLookUpTaskWithServers("abc", "127.0.0.1", &recorder, &Record));
    static std::atomic<int> unowned{0};
    auto count = [](int, void* user, const std::string&, const std::string&) { unowned += user == nullptr; };
    EXPECT_TRUE(m_thread.AddPingTask("10.0.0.9", nullptr, +count));  // a probe needs no user
    ASSERT_TRUE(testsupport::PumpMessagesUntil([] { return unowned == 1; }));
    ASSERT_TRUE(WaitForResults(recorder, 1));
    EXPECT_EQ(recorder.results[0].host, "abc");
}

TEST_F(NetToolThreadTest, TasksRunInTheOrderQueued) {
    Recorder recorder;
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("one.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(m_thread.AddPingTask("10.0.0.1", &recorder, &Record));
    ASSERT_TRUE(m_thread.AddTraceRouteTask("10.0.0.2", &recorder, &Record));
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("four.test", "127.0.0.9;127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 4));
    const char* hosts[] = {"one.test", "10.0.0.1", "10.0.0.2", "four.test"};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(recorder.results[i].host, hosts[i]);
        EXPECT_EQ(recorder.results[i].code, 0);
    }
    EXPECT_EQ(recorder.results[1].text, "正在ping 10.0.0.1 具有32字节的数据。超时。超时。超时。超时。");
    EXPECT_EQ(recorder.results[3].text, "10.0.0.1;10.0.0.2");
}

TEST_F(NetToolThreadTest, TasksAddedWhileTheWorkerFinishesAreNeverLost) {
    // Each result adds the next lookup from its callback, so most Adds meet a worker that
    // has just posted its last result; every one must still run.
    constexpr int kChain = 150;
    Recorder recorder;
    recorder.chainTo = &m_thread;
    recorder.chainLeft = kChain;
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("chain.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, kChain + 1)) << recorder.results.size() << " results";
    EXPECT_EQ(m_resolver.QueryCount(), kChain + 1);

    // An Add exactly while the worker is leaving: it must not take that worker for a live one.
    std::atomic<int> leaving{0};
    NetToolOptions options = m_options;
    options.workerLeaving = [&leaving] {
        if (leaving++ == 0) std::this_thread::sleep_for(200ms);
    };
    m_thread.SetOptions(options);
    const size_t before = recorder.results.size();
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("first.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return leaving > 0; }));
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("handover.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, before + 2));
    EXPECT_EQ(recorder.results.back().host, "handover.test");

    // And an Add long after the worker ended starts a new one.
    const DWORD lastWorker = m_thread.GetThreadId();
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("late.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, kChain + 4));
    EXPECT_NE(m_thread.GetThreadId(), lastWorker);
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
    EXPECT_TRUE(recorder.results.empty());  // a stopped lookup posts nothing
    EXPECT_LE(silent.QueryCount(), 2);
    EXPECT_EQ(m_resolver.QueryCount(), 0);

    // The task still queued runs with the next start.
    ASSERT_TRUE(m_thread.AddNSLookUpTaskWithServers("next.test", "127.0.0.1", &recorder, &Record));
    ASSERT_TRUE(WaitForResults(recorder, 2));
    EXPECT_EQ(recorder.results[0].host, "queued.test");
    EXPECT_EQ(recorder.results[1].host, "next.test");
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
    EXPECT_TRUE(recorder.results.empty());
    EXPECT_EQ(m_resolver.QueryCount(), 0);
}
