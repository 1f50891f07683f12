#include "commonlib/nettool/NetToolTasks.h"

#include <gtest/gtest.h>

#include "support/FakeDnsServer.h"

using testsupport::CFakeDnsServer;

TEST(NetToolTasksTest, LookupAsksResolversInTurnUntilOneAnswers) {
    const auto resolver = [](bool answers, const std::string& net) {
        return answers ? testsupport::AnswerWith({net + ".1", net + ".2"}) : CFakeDnsServer::Handler{};
    };
    const struct {
        const char* why;
        bool firstAnswers, secondAnswers;
        std::string list;
        int code;
        std::string text;
        int firstQueries, secondQueries;
    } cases[] = {
        {"first silent, second answers", false, true, "127.0.0.1;127.0.0.2", 0, "10.0.2.1;10.0.2.2", 1, 1},
        {"nobody answers", false, false, "127.0.0.1;127.0.0.2", -1, "", 1, 1},
        // "127.1" would be 127.0.0.1 to a loose parser.
        {"bad entries skipped", true, true, "127.1;;999.1.1.1; 127.0.0.1;127.0.0.2", 0, "10.0.2.1;10.0.2.2", 0, 1},
        {"only bad entries", true, true, "127.1;localhost", -1, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // Both resolvers listen on one port, as every resolver is asked on the same one.
        CFakeDnsServer one("127.0.0.1", 0, resolver(c.firstAnswers, "10.0.1"));
        CFakeDnsServer two("127.0.0.2", one.Port(), resolver(c.secondAnswers, "10.0.2"));
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
