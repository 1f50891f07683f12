#include "commonlib/nettool/DnsQueryClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/FakeDnsServer.h"

using testsupport::ARecord;
using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using testsupport::DnsAnswerTo;
using testsupport::operator+;

namespace {

constexpr std::uint16_t kId = 0x1234;
const Bytes kQuery = DnsBuildQuery(kId, "host.test");

Bytes Answer(std::uint16_t flags, std::uint8_t count, const Bytes& records) {
    return DnsAnswerTo(kQuery, flags, count, records);
}

DnsQueryClient::Options Fast(std::uint16_t port, std::uint32_t timeoutMs) {
    DnsQueryClient::Options options;
    options.port = port;
    options.timeoutMs = timeoutMs;
    options.waitSliceMs = 10;
    options.queryId = kId;
    return options;
}

// Runs one query for `name` against a fake resolver that answers with `reply`; returns Resolve's result.
int ResolveAgainst(CFakeDnsServer::Handler reply, std::vector<std::string>* addresses = nullptr,
                   std::uint32_t timeoutMs = 1500, std::chrono::milliseconds* took = nullptr,
                   const std::string& name = "host.test") {
    CFakeDnsServer server("127.0.0.1", 0, std::move(reply));
    DnsQueryClient client(Fast(server.Port(), timeoutMs));
    EXPECT_EQ(client.Open(), 1);
    const auto start = std::chrono::steady_clock::now();
    const int result = client.Resolve(name.c_str(), server.Address(), addresses, nullptr, nullptr);
    if (took) *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return result;
}

}  // namespace

TEST(DnsQueryClientTest, SendsTheQueryByteForByteAndRefusesOverlongNames) {
    const Bytes expected = {0x34, 0x12, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                            0x61, 0x02, 0x62, 0x63, 0x03, 0x64, 0x65, 0x66, 0x00, 0x00, 0x01, 0x00, 0x01};
    CFakeDnsServer server;
    DnsQueryClient client(Fast(server.Port(), 50));
    ASSERT_EQ(client.Open(), 1);
    EXPECT_EQ(client.Resolve("a.bc.def", server.Address(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(server.LastQuery(), expected);

    // Labels over 63 bytes and names over 255 are refused before anything is sent.
    const std::string label(63, 'x');
    const std::string longest = label + "." + label + "." + label + "." + std::string(61, 'y');
    EXPECT_EQ(DnsBuildQuery(kId, longest.c_str()).size(), 12u + 255u + 4u);
    EXPECT_TRUE(DnsBuildQuery(kId, (longest + "y").c_str()).empty());
    EXPECT_EQ(client.Resolve((label + "x.test").c_str(), server.Address(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(server.QueryCount(), 1);

    // A name read back keeps up to 127 characters; the dot that ends the last label is not one.
    const std::string name127 = label + "." + label.substr(0, 62) + "z";
    for (const std::string& name : {name127, name127 + ".", label + "." + label + ".a"}) {
        SCOPED_TRACE(name.size());
        std::uint16_t used = 0;
        std::string decoded;
        const bool fits = name.size() <= 128;
        EXPECT_EQ(DnsDecodeName(DnsBuildQuery(kId, name.c_str()), kDnsHeaderSize, false, &used, &decoded), fits);
        if (fits) {
            EXPECT_EQ(decoded, name127);
        }
    }
    std::vector<std::string> addresses;
    EXPECT_EQ(ResolveAgainst(testsupport::AnswerWith({"10.0.0.7"}), &addresses, 1500, nullptr, name127), 1);
    EXPECT_EQ(addresses, std::vector<std::string>{"10.0.0.7"});
}

TEST(DnsQueryClientTest, JudgesAnswersAndRefusesHostileOnes) {
    const Bytes aRecord = ARecord(1, 1, 1, 1);
    const Bytes aTail(aRecord.begin() + 2, aRecord.end());             // an A record without its owner name
    const std::uint8_t at = static_cast<std::uint8_t>(kQuery.size());  // offset of the first record
    using enum DnsAnswerVerdict;
    const std::vector<std::string> none;
    const struct {
        const char* why;
        Bytes datagram;
        DnsAnswerVerdict verdict;
        std::vector<std::string> addresses;
    } cases[] = {
        // clang-format off
        {"two A records, bytes printed unsigned",
         Answer(0x8180, 2, ARecord(93, 184, 216, 34) + ARecord(192, 168, 200, 255)), Taken,
         {"93.184.216.34", "192.168.200.255"}},
        {"A record with RDLENGTH 2 skipped",
         Answer(0x8180, 2, Bytes{0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 2, 9, 9} + ARecord(5, 6, 7, 8)), Taken,
         {"5.6.7.8"}},
        {"truncated flag", Answer(0x8380, 1, ARecord(1, 1, 1, 1)), Dropped, none},
        {"question cut short", DnsAnswerTo(Bytes(kQuery.begin(), kQuery.begin() + 16), 0x8180, 1, {}), Malformed, none},
        {"RDATA past the end", Answer(0x8180, 1, Bytes{0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 40, 1, 1, 1, 1}),
         Malformed, none},
        {"pointer to itself", Answer(0x8180, 1, Bytes{0xC0, at} + aTail), Malformed, none},
        {"pointer past the datagram", Answer(0x8180, 1, Bytes{0xFF, 0xFF} + aTail), Malformed, none},
        {"label type 0x40", Answer(0x8180, 1, Bytes{0x40} + Bytes(64, 'a') + Bytes{0} + aTail), Malformed, none},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        DnsAnswerRecords records;
        EXPECT_EQ(DnsParseAnswer(c.datagram, kQuery, false, &records), c.verdict);
        EXPECT_EQ(records.addresses, c.addresses);
    }
}

TEST(DnsQueryClientTest, WaitsOutSpoofedAnswersForTheResolversOwn) {
    std::vector<std::string> addresses{"stale"};
    const int result = ResolveAgainst(
        [](const Bytes& query, CFakeDnsServer& s) {
            const Bytes evil = DnsAnswerTo(query, 0x8180, 1, ARecord(6, 6, 6, 6));
            Bytes otherId = evil;
            otherId[1] ^= 0x80;
            s.ReplyFrom("127.0.0.2", s.Port(), evil);  // another host, the resolver's port
            s.ReplyFrom("127.0.0.1", 0, evil);         // the resolver's host, another port
            s.Reply(otherId);
            s.Reply(DnsAnswerTo(DnsBuildQuery(kId, "other.test"), 0x8180, 1, ARecord(6, 6, 6, 6)));
            s.Reply(Bytes(1500, 0));  // longer than the answer buffer
            s.Reply(DnsAnswerTo(query, 0x8180, 1, ARecord(10, 0, 0, 1)));
        },
        &addresses);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(addresses, std::vector<std::string>{"10.0.0.1"});
}

TEST(DnsQueryClientTest, TimesOutOnSilenceOrNoiseAndClosesItsSockets) {
    const auto openFds = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto fdsBefore = openFds();
    std::chrono::milliseconds took{};
    EXPECT_EQ(ResolveAgainst({}, nullptr, 200, &took), 0);
    EXPECT_GE(took, std::chrono::milliseconds(200));
    // Dropped answers arriving faster than the wait slice count against the time-out too.
    const auto noise = [](const Bytes& query, CFakeDnsServer& s) {
        for (int i = 0; i < 40; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            s.Reply(DnsAnswerTo(query, 0x8183, 1, ARecord(1, 1, 1, 1)));
        }
    };
    EXPECT_EQ(ResolveAgainst(noise, nullptr, 200, &took), 0);
    EXPECT_LT(took, std::chrono::milliseconds(350));
    EXPECT_EQ(openFds(), fdsBefore);
}
