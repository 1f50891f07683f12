#include "commonlib/nettool/NetToolTasks.h"

#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"
#include "support/FakeDnsServer.h"

using testsupport::ARecord;
using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using testsupport::operator+;

namespace {

enum class Resolver { Silent, Answers, CnameOnly };

CFakeDnsServer::Handler Behave(Resolver behaviour, std::uint8_t tag) {
    return [=](const Bytes& query, CFakeDnsServer& s) {
        const Bytes twoA = ARecord(10, 0, tag, 1) + ARecord(10, 0, tag, 2);
        if (behaviour == Resolver::Answers) s.Reply(testsupport::DnsAnswerTo(query, 0x8180, 2, twoA));
        if (behaviour == Resolver::CnameOnly) {
            s.Reply(testsupport::DnsAnswerTo(query, 0x8180, 1, testsupport::CnameRecord("alias")));
        }
    };
}

}  // namespace

TEST(NetToolTasksTest, LookupAsksResolversInTurnUntilOneAnswers) {
    const struct {
        const char* why;
        Resolver first, second;
        std::string list;
        int code;
        std::string text;
        int firstQueries, secondQueries;
    } cases[] = {
        {"first answers alone", Resolver::Answers, Resolver::Answers, "127.0.0.1;127.0.0.2", 0, "10.0.1.1;10.0.1.2", 1,
         0},
        {"first silent, second answers", Resolver::Silent, Resolver::Answers, "127.0.0.1;127.0.0.2", 0,
         "10.0.2.1;10.0.2.2", 1, 1},
        {"nobody answers", Resolver::Silent, Resolver::Silent, "127.0.0.1;127.0.0.2", -1, "", 1, 1},
        {"CNAME only", Resolver::CnameOnly, Resolver::Answers, "127.0.0.1;127.0.0.2", 0, "", 1, 0},
        // "127.1" would be 127.0.0.1 to a loose parser.
        {"bad entries skipped", Resolver::Answers, Resolver::Answers, "127.1;;999.1.1.1; 127.0.0.1;127.0.0.2", 0,
         "10.0.2.1;10.0.2.2", 0, 1},
        {"only bad entries", Resolver::Answers, Resolver::Answers, "127.1;localhost", -1, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // Both resolvers listen on one port, as every resolver is asked on the same one.
        CFakeDnsServer one("127.0.0.1", 0, Behave(c.first, 1));
        CFakeDnsServer two("127.0.0.2", one.Port(), Behave(c.second, 2));
        DnsQueryClient::Options options;
        options.port = one.Port();
        options.timeoutMs = 150;
        options.waitSliceMs = 20;
        const NetToolResult result = RunNsLookup("host.test", c.list, nullptr, options);
        EXPECT_TRUE(result.post);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(one.QueryCount(), c.firstQueries);
        EXPECT_EQ(two.QueryCount(), c.secondQueries);

        std::atomic<bool> stop{true};  // a stopped lookup asks nobody and posts nothing
        EXPECT_FALSE(RunNsLookup("host.test", c.list, &stop, options).post);
        EXPECT_EQ(one.QueryCount(), c.firstQueries);
    }
}

TEST(NetToolTasksTest, PingAndTracePostTheirReportAsUtf8WithCodeZero) {
    testsupport::CFakeIcmpNetwork net;
    const auto ping = net.On<PingProbe::Options>(true);
    const NetToolResult pinged = RunPing("10.0.0.1", nullptr, ping);
    EXPECT_TRUE(pinged.post);
    EXPECT_EQ(pinged.code, 0);
    EXPECT_EQ(pinged.text, "正在ping 10.0.0.1 具有32字节的数据。超时。超时。超时。超时。");

    const auto trace = net.On<TraceRouteOptions>(true);
    const NetToolResult traced = RunTraceRoute("10.0.0.1", nullptr, trace);
    EXPECT_TRUE(traced.post);
    EXPECT_EQ(traced.code, 0);  // the failure shows in the text only
    EXPECT_EQ(traced.text, "通过最多 30 个跃点跟踪到 10.0.0.1 的路由。");

    std::atomic<bool> stop{true};
    EXPECT_FALSE(RunTraceRoute("10.0.0.1", &stop, trace).post);
    EXPECT_FALSE(RunPing("10.0.0.1", &stop, ping).post);
}
