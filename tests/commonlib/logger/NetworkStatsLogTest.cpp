#include "commonlib/logger/NetworkStatsLog.h"

#include <gtest/gtest.h>

#include <vector>

#include "commonlib/logger/ReportSupport.h"
#include "commonlib/nettool/NetToolThread.h"
#include "commonlib/thread/MainThreadTask.h"
#include "support/FakeDnsServer.h"
#include "support/MessagePump.h"

namespace {

struct QueuedTask {
    char kind;  // 'p'ing, 't'raceroute, 'l'ookup
    std::string host;
    void* user;
};

std::vector<QueuedTask>& Queued() {
    static std::vector<QueuedTask> tasks;
    return tasks;
}

bool g_refuse = false;

template <char Kind>
bool Queue(const std::string& host, void* user) {
    if (g_refuse) return false;
    Queued().push_back({Kind, host, user});
    return true;
}

NetworkStatsLog& Log() {
    return NetworkStatsLog::GetInstance();
}

class NetworkStatsLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Queued().clear();
        g_refuse = false;
        Log().SetDiagnostics({&Queue<'l'>, &Queue<'t'>, &Queue<'p'>});
        Log().SetUrl(L"");  // a fresh, empty pending array when a test switches it on
    }
    void TearDown() override {
        // Finish what a test left open, so the next one starts without analyses.
        for (const QueuedTask& task : Queued()) {
            for (int kind = 1; kind <= 3; ++kind)
                Log().AddResult(kind, task.user, "");
        }
        Log().SetUrl(L"");
    }

    static ProtoValue Report() {
        ProtoValue report;
        report[L"opt_result"] = 4;
        report[L"stats_rel"][L"msg"] = L"url:http://cdn/x;\n";
        return report;
    }
};

}  // namespace

TEST_F(NetworkStatsLogTest, AnalysisEndsWhenEveryQueuedProbeHasAnswered) {
    // A result that is JSON is kept as such; the probes' plain texts are kept as strings.
    const struct {
        const char* host;
        std::string kinds;
        std::string trace;
        std::string traceJson;
    } cases[] = {
        {"10.1.2.3", "pt", "{\"hops\":[1,2]}", "{\"hops\":[1,2]}\n"},
        {"cdn.example.com", "ptl", "TTL:1,TripTime:3,ip:10.0.0.1", "\"TTL:1,TripTime:3,ip:10.0.0.1\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        Queued().clear();
        Log().SetUrl(L"");
        Log().SetUrl(L"http://127.0.0.1:9/net");
        Log().Start(Report(), c.host);
        std::string kinds;
        for (const QueuedTask& task : Queued()) {
            kinds += task.kind;
            EXPECT_EQ(task.host, c.host);
            EXPECT_EQ(task.user, Queued()[0].user);
        }
        ASSERT_EQ(kinds, c.kinds);
        void* record = Queued()[0].user;
        NetworkStatsLog::OnPingResult(0, nullptr, c.host, "stray");  // unknown record: ignored
        NetworkStatsLog::OnPingResult(0, record, c.host, "正在ping 10.1.2.3 具有32字节的数据。超时。");
        if (c.kinds.size() == 3) NetworkStatsLog::OnNSLookUpResult(0, record, c.host, "1.2.3.4;5.6.7.8");
        EXPECT_EQ(Log().GetPending().size(), 0u);
        NetworkStatsLog::OnTraceRootResult(0, record, c.host, c.trace);

        EXPECT_EQ(Log().GetAnalysisCount(), 0u);
        const Json::Value pending = Log().GetPending();
        ASSERT_EQ(pending.size(), 1u);
        const Json::Value& stats = pending[0]["stats_rel"];
        EXPECT_EQ(stats["msg"].asString(), "url:http://cdn/x;\n");
        EXPECT_EQ(stats["Ping"].asString(), "正在ping 10.1.2.3 具有32字节的数据。超时。");
        EXPECT_EQ(FastJsonText(stats["TraceRoot"]), c.traceJson);
        EXPECT_EQ(stats.get("NSLookUp", "-").asString(), c.kinds.size() == 3 ? "1.2.3.4;5.6.7.8" : "-");
        EXPECT_EQ(pending[0]["title"].asInt(), 4);
    }
}

TEST_F(NetworkStatsLogTest, NoUrlEmptyHostOrRefusedProbesLeaveNoAnalysisOpen) {
    Log().Start(Report(), "cdn.example.com");
    EXPECT_TRUE(Queued().empty());
    EXPECT_TRUE(Log().GetPending().isNull());

    Log().SetUrl(L"http://127.0.0.1:9/net");
    Log().Start(Report(), "");
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(Log().GetAnalysisCount(), 0u);
    EXPECT_EQ(Log().GetPending().size(), 0u);

    g_refuse = true;
    Log().Start(Report(), "cdn.example.com");
    EXPECT_EQ(Log().GetAnalysisCount(), 0u);
    const Json::Value pending = Log().GetPending();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_FALSE(pending[0]["stats_rel"].isMember("Ping"));
}

TEST_F(NetworkStatsLogTest, LoopbackAnalysisOnTheDiagnosticsThreadKeepsThePlainTexts) {
    ASSERT_TRUE(CreateMainThreadWindow());
    NetToolOptions options;
    options.ping.pauseMs = 0;
    options.ping.replyTimeoutMs = 300;
    options.trace.hopTimeoutMs = 300;
    CSingleton<CNetToolThread>::GetInstance().SetOptions(options);
    Log().SetDiagnostics(NetStatsDiagnostics{});
    Log().SetUrl(L"http://127.0.0.1:9/net");

    Log().Start(Report(), "127.0.0.1");
    EXPECT_EQ(Log().GetAnalysisCount(), 1u);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([] { return Log().GetPending().size() == 1; }));
    const Json::Value stats = Log().GetPending()[0]["stats_rel"];
    EXPECT_EQ(stats["Ping"].asString().rfind("正在ping 127.0.0.1", 0), 0u) << stats["Ping"];
    EXPECT_TRUE(stats["TraceRoot"].isString() && !stats["TraceRoot"].asString().empty()) << stats["TraceRoot"];
    EXPECT_FALSE(stats.isMember("NSLookUp"));
    CSingleton<CNetToolThread>::GetInstance().Stop(10000);
    ShutdownMainThreadQueue();
}

TEST_F(NetworkStatsLogTest, LookupsAskTheProgramsResolversNeverTheBuiltInOnes) {
    ASSERT_TRUE(CreateMainThreadWindow());
    testsupport::CFakeDnsServer resolver{"127.0.0.1", 0, testsupport::AnswerWith({"10.0.0.9"})};
    CNetToolThread& thread = CSingleton<CNetToolThread>::GetInstance();
    NetToolOptions options;
    options.dns.port = resolver.Port();
    options.dns.timeoutMs = 300;
    thread.SetOptions(options);
    thread.SetDefaultResolvers("127.0.0.1");
    NetStatsDiagnostics lookupOnly;
    lookupOnly.addTraceRoute = nullptr;
    lookupOnly.addPing = nullptr;
    Log().SetDiagnostics(lookupOnly);
    Log().SetUrl(L"http://127.0.0.1:9/net");

    Log().Start(Report(), "cdn.example.com");
    EXPECT_TRUE(testsupport::PumpMessagesUntil([] { return Log().GetPending().size() == 1; }));
    EXPECT_EQ(Log().GetPending()[0]["stats_rel"]["NSLookUp"].asString(), "10.0.0.9");
    EXPECT_EQ(resolver.QueryCount(), 1);
    thread.SetDefaultResolvers("");
    thread.Stop(10000);
    ShutdownMainThreadQueue();
}
