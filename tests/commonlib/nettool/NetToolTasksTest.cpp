#include "commonlib/nettool/NetToolTasks.h"

#include <gtest/gtest.h>

#include <memory>

#include "FakeDnsServer.h"
#include "FakeIcmpNetwork.h"

using testsupport::ARecord;
using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using testsupport::CFakeIcmpNetwork;
using testsupport::CnameRecord;
using testsupport::DnsAnswerTo;
using testsupport::EchoReplyTo;
using testsupport::IpDatagram;

namespace {

enum class Behaviour { Silent, Answer, CnameOnly };

// Two resolvers on 127.0.0.1 and 127.0.0.2 sharing one port, as the client asks every resolver on the same port.
struct TwoResolvers {
    TwoResolvers(Behaviour first, Behaviour second)
        : one(std::make_unique<CFakeDnsServer>("127.0.0.1")),
          two(std::make_unique<CFakeDnsServer>("127.0.0.2", one->Port())) {
        Script(*one, first, 1);
        Script(*two, second, 2);
    }

    static void Script(CFakeDnsServer& server, Behaviour behaviour, std::uint8_t tag) {
        server.OnQuery([behaviour, tag](const Bytes& query, CFakeDnsServer& s) {
            if (behaviour == Behaviour::Answer) {
                Bytes records = ARecord(10, 0, tag, 1);
                const Bytes second = ARecord(10, 0, tag, 2);
                records.insert(records.end(), second.begin(), second.end());
                s.Reply(DnsAnswerTo(query, 0x8180, 2, records));
            } else if (behaviour == Behaviour::CnameOnly) {
                s.Reply(DnsAnswerTo(query, 0x8180, 1, CnameRecord("alias.test")));
            }
        });
    }

    DnsQueryClient::Options Options() const {
        DnsQueryClient::Options options;
        options.port = one->Port();
        options.timeoutMs = 150;
        options.waitSliceMs = 20;
        return options;
    }

    std::unique_ptr<CFakeDnsServer> one;
    std::unique_ptr<CFakeDnsServer> two;
};

}  // namespace

TEST(NetToolTasksTest, LookupAsksResolversInTurnUntilOneAnswers) {
    const struct {
        const char* why;
        Behaviour first, second;
        std::string list;
        int code;
        std::string text;
        int firstQueries, secondQueries;
    } cases[] = {
        {"first answers, second is never asked", Behaviour::Answer, Behaviour::Answer, "127.0.0.1;127.0.0.2", 0,
         "10.0.1.1;10.0.1.2", 1, 0},
        {"first silent, second answers", Behaviour::Silent, Behaviour::Answer, "127.0.0.1;127.0.0.2", 0,
         "10.0.2.1;10.0.2.2", 1, 1},
        {"nobody answers", Behaviour::Silent, Behaviour::Silent, "127.0.0.1;127.0.0.2", -1, "", 1, 1},
        {"CNAME only", Behaviour::CnameOnly, Behaviour::Answer, "127.0.0.1;127.0.0.2", 0, "", 1, 0},
        // "127.1" is 127.0.0.1 to a loose parser; a strict one skips it like the other bad entries.
        {"bad entries skipped", Behaviour::Answer, Behaviour::Answer, "127.1;;999.1.1.1; 127.0.0.1;127.0.0.2", 0,
         "10.0.2.1;10.0.2.2", 0, 1},
        {"only bad entries", Behaviour::Answer, Behaviour::Answer, "127.1;localhost", -1, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TwoResolvers resolvers(c.first, c.second);
        const NetToolResult result = RunNsLookup("host.test", c.list, nullptr, resolvers.Options());
        EXPECT_TRUE(result.post);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(resolvers.one->QueryCount(), c.firstQueries);
        EXPECT_EQ(resolvers.two->QueryCount(), c.secondQueries);
    }
}

TEST(NetToolTasksTest, StoppedLookupAsksNoFurtherResolverAndPostsNothing) {
    TwoResolvers resolvers(Behaviour::Silent, Behaviour::Answer);
    std::atomic<bool> stop{true};
    EXPECT_FALSE(RunNsLookup("host.test", "127.0.0.1;127.0.0.2", &stop, resolvers.Options()).post);
    EXPECT_EQ(resolvers.one->QueryCount() + resolvers.two->QueryCount(), 0);
}

TEST(NetToolTasksTest, PingAndTracePostTheirReportAsUtf8) {
    CFakeIcmpNetwork network;
    network.onSend = [&](const Bytes& request, int) {
        network.Deliver(7, IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(request)));
        return 0;
    };
    PingProbe::Options ping;
    ping.clock = network.Clock();
    ping.sleep = [](std::uint32_t) {};
    ping.openSocket = network.Factory();
    const NetToolResult pinged = RunPing("10.0.0.1", nullptr, ping);
    EXPECT_TRUE(pinged.post);
    EXPECT_EQ(pinged.code, 0);
    EXPECT_EQ(pinged.text.rfind("正在ping 10.0.0.1 具有32字节的数据。来自 10.0.0.1 的回复：时间7 TTL。", 0), 0u);

    TraceRouteOptions trace;
    trace.clock = network.Clock();
    trace.openSocket = network.Factory(true);
    const NetToolResult traced = RunTraceRoute("10.0.0.1", nullptr, trace);
    EXPECT_TRUE(traced.post);
    EXPECT_EQ(traced.code, 0);  // the failure is in the text only
    EXPECT_EQ(traced.text, "通过最多 30 个跃点跟踪到 10.0.0.1 的路由。");

    std::atomic<bool> stop{true};
    EXPECT_FALSE(RunTraceRoute("10.0.0.1", &stop, trace).post);
    EXPECT_FALSE(RunPing("10.0.0.1", &stop, ping).post);
}
