#include "commonlib/nettool/DnsQueryClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "FakeDnsServer.h"

using testsupport::ARecord;
using testsupport::Bytes;
using testsupport::CFakeDnsServer;
using testsupport::CnameRecord;
using testsupport::DnsAnswerTo;

namespace {

constexpr std::uint16_t kId = 0x1234;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

DnsQueryClient::Options FastOptions(const CFakeDnsServer& server, std::uint32_t timeoutMs = 1500) {
    DnsQueryClient::Options options;
    options.port = server.Port();
    options.queryId = kId;
    options.timeoutMs = timeoutMs;
    options.waitSliceMs = 20;
    return options;
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

// An A record's fields after its owner name.
Bytes ARecordWithoutOwner() {
    const Bytes record = ARecord(1, 1, 1, 1);
    return Bytes(record.begin() + 2, record.end());
}

}  // namespace

TEST(DnsQueryClientTest, BuildsTheQueryByteForByte) {
    const Bytes expected = {0x34, 0x12, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                            0x61, 0x02, 0x62, 0x63, 0x03, 0x64, 0x65, 0x66, 0x00, 0x00, 0x01, 0x00, 0x01};
    EXPECT_EQ(DnsBuildQuery(kId, "a.bc.def"), expected);
    EXPECT_EQ(DnsBuildQuery(kId, "a..bc."), DnsBuildQuery(kId, "a.bc"));

    // What goes over the wire is the same packet.
    CFakeDnsServer server;
    DnsQueryClient client(FastOptions(server, 100));
    ASSERT_EQ(client.Open(), 1);
    EXPECT_EQ(client.Resolve("a.bc.def", server.Address(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(server.LastQuery(), expected);
}

TEST(DnsQueryClientTest, RefusesNamesThatCannotBeEncoded) {
    const std::string label63(63, 'x');
    const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'y');
    EXPECT_FALSE(DnsBuildQuery(kId, label63.c_str()).empty());
    EXPECT_FALSE(DnsBuildQuery(kId, name253.c_str()).empty());
    EXPECT_EQ(DnsBuildQuery(kId, name253.c_str()).size(), 12u + 255u + 4u);
    EXPECT_TRUE(DnsBuildQuery(kId, (label63 + "x").c_str()).empty());
    EXPECT_TRUE(DnsBuildQuery(kId, (name253 + "y").c_str()).empty());
    EXPECT_TRUE(DnsBuildQuery(kId, nullptr).empty());
    std::uint8_t out[8];
    std::uint16_t written = 0;
    EXPECT_FALSE(DnsEncodeName("abcdefg", out, 8, &written));  // needs strlen + 2
    EXPECT_TRUE(DnsEncodeName("abcdef", out, 8, &written));
    EXPECT_EQ(written, 8);

    // Refused before anything is sent.
    CFakeDnsServer server;
    DnsQueryClient client(FastOptions(server));
    ASSERT_EQ(client.Open(), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Resolve((label63 + "x.com").c_str(), server.Address(), nullptr, nullptr, nullptr), 0);
    EXPECT_LT(Since(start), std::chrono::milliseconds(500));
    EXPECT_EQ(server.QueryCount(), 0);
}

TEST(DnsQueryClientTest, DecodesNamesWithinBounds) {
    const Bytes message = Concat({Bytes(12, 0), testsupport::EncodedName("www.example.com"), {0xC0, 16}, {0}});
    std::string name;
    std::uint16_t used = 0;
    ASSERT_TRUE(DnsDecodeName(message, 12, false, &used, &name));
    EXPECT_EQ(name, "www.example.com");
    EXPECT_EQ(used, 17);
    ASSERT_TRUE(DnsDecodeName(message, 29, true, &used, &name));
    EXPECT_EQ(name, "example.com");
    EXPECT_EQ(used, 2);
    EXPECT_FALSE(DnsDecodeName(message, 29, false, &used, &name));
    ASSERT_TRUE(DnsDecodeName(message, 31, false, &used, &name));  // the root name
    EXPECT_EQ(name, "");
    EXPECT_EQ(used, 1);
    EXPECT_FALSE(DnsDecodeName(message, message.size(), true, &used, &name));
}

TEST(DnsQueryClientTest, JudgesAnswersAndRefusesHostileOnes) {
    const Bytes query = DnsBuildQuery(kId, "host.test");
    const Bytes twoA = Concat({ARecord(93, 184, 216, 34), ARecord(192, 168, 200, 255)});
    Bytes otherId = DnsAnswerTo(query, 0x8180, 1, ARecord(1, 1, 1, 1));
    otherId[0] ^= 1;
    Bytes otherName = DnsAnswerTo(DnsBuildQuery(kId, "evil.test"), 0x8180, 1, ARecord(6, 6, 6, 6));
    Bytes upperName = DnsAnswerTo(DnsBuildQuery(kId, "HOST.Test"), 0x8180, 1, ARecord(1, 2, 3, 4));
    Bytes noQuestion = DnsAnswerTo(query, 0x8180, 1, ARecord(1, 1, 1, 1));
    noQuestion[5] = 0;
    Bytes compressedQuestion(query.begin(), query.begin() + 12);
    compressedQuestion = Concat({compressedQuestion, {0xC0, 0x0C, 0, 1, 0, 1}, ARecord(1, 1, 1, 1)});
    compressedQuestion[3] = 0x80, compressedQuestion[2] = 0x81, compressedQuestion[7] = 1;
    const std::size_t answerAt = query.size();  // where the first record starts
    const auto ownerPointer = [&](std::uint16_t target) {
        Bytes rr = ARecord(1, 1, 1, 1);
        rr[0] = static_cast<std::uint8_t>(0xC0 | (target >> 8));
        rr[1] = static_cast<std::uint8_t>(target & 0xFF);
        return DnsAnswerTo(query, 0x8180, 1, rr);
    };
    Bytes longLabel = DnsAnswerTo(query, 0x8180, 1, Concat({{0x40}, Bytes(64, 'a'), ARecordWithoutOwner()}));
    Bytes pointerPair = DnsAnswerTo(
        query, 0x8180, 2,
        Concat({{0xC0, static_cast<std::uint8_t>(answerAt + 2)}, {0xC0, static_cast<std::uint8_t>(answerAt)}}));
    Bytes longName;
    {
        Bytes owner;
        for (int i = 0; i < 5; ++i)
            owner = Concat({owner, {25}, Bytes(25, 'n')});  // 130 characters
        owner.push_back(0);
        longName = DnsAnswerTo(query, 0x8180, 1, Concat({owner, ARecordWithoutOwner()}));
    }
    Bytes shortA =
        DnsAnswerTo(query, 0x8180, 2, Concat({{0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 2, 9, 9}, ARecord(5, 6, 7, 8)}));
    Bytes rdBeyond = DnsAnswerTo(query, 0x8180, 1, ARecord(1, 1, 1, 1));
    rdBeyond[rdBeyond.size() - 5] = 40;

    const struct {
        const char* why;
        Bytes datagram;
        DnsAnswerVerdict verdict;
        std::vector<std::string> addresses;
    } cases[] = {
        {"good: two A records, printed unsigned",
         DnsAnswerTo(query, 0x8180, 2, twoA),
         DnsAnswerVerdict::Taken,
         {"93.184.216.34", "192.168.200.255"}},
        {"authoritative answer",
         DnsAnswerTo(query, 0x8580, 1, ARecord(1, 2, 3, 4)),
         DnsAnswerVerdict::Taken,
         {"1.2.3.4"}},
        {"recursion not available",
         DnsAnswerTo(query, 0x8100, 1, ARecord(1, 2, 3, 4)),
         DnsAnswerVerdict::Taken,
         {"1.2.3.4"}},
        {"question name in other case", upperName, DnsAnswerVerdict::Taken, {"1.2.3.4"}},
        {"A record with RDLENGTH 2 is skipped", shortA, DnsAnswerVerdict::Taken, {"5.6.7.8"}},
        {"wrong id", otherId, DnsAnswerVerdict::Dropped, {}},
        {"another name", otherName, DnsAnswerVerdict::Dropped, {}},
        {"no question", noQuestion, DnsAnswerVerdict::Dropped, {}},
        {"RCODE 3", DnsAnswerTo(query, 0x8183, 1, ARecord(1, 1, 1, 1)), DnsAnswerVerdict::Dropped, {}},
        {"truncated flag", DnsAnswerTo(query, 0x8380, 1, ARecord(1, 1, 1, 1)), DnsAnswerVerdict::Dropped, {}},
        {"a query, not a response", DnsAnswerTo(query, 0x0100, 1, ARecord(1, 1, 1, 1)), DnsAnswerVerdict::Dropped, {}},
        {"ANCOUNT 0", DnsAnswerTo(query, 0x8180, 0, {}), DnsAnswerVerdict::Dropped, {}},
        {"empty datagram", {}, DnsAnswerVerdict::Dropped, {}},
        {"11 bytes", Bytes(query.begin(), query.begin() + 11), DnsAnswerVerdict::Dropped, {}},
        {"question cut short",
         DnsAnswerTo(Bytes(query.begin(), query.begin() + 16), 0x8180, 1, {}),
         DnsAnswerVerdict::Malformed,
         {}},
        {"ANCOUNT 5 with one record",
         DnsAnswerTo(query, 0x8180, 5, ARecord(1, 1, 1, 1)),
         DnsAnswerVerdict::Malformed,
         {}},
        {"RDLENGTH beyond the end", rdBeyond, DnsAnswerVerdict::Malformed, {}},
        {"pointer to itself", ownerPointer(static_cast<std::uint16_t>(answerAt)), DnsAnswerVerdict::Malformed, {}},
        {"pointers to each other", pointerPair, DnsAnswerVerdict::Malformed, {}},
        {"pointer past the datagram", ownerPointer(0x3FFF), DnsAnswerVerdict::Malformed, {}},
        {"label type 0x40", longLabel, DnsAnswerVerdict::Malformed, {}},
        {"owner name of 130 characters", longName, DnsAnswerVerdict::Malformed, {}},
        {"compressed question name", compressedQuestion, DnsAnswerVerdict::Malformed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        DnsAnswerRecords records;
        EXPECT_EQ(DnsParseAnswer(c.datagram, query, false, &records), c.verdict);
        if (c.verdict == DnsAnswerVerdict::Taken) {
            EXPECT_EQ(records.addresses, c.addresses);
        }
    }

    // CNAME then two A records: the A texts, and the CNAME only when asked for.
    const Bytes withCname = DnsAnswerTo(query, 0x8180, 3, Concat({CnameRecord("edge.cdn.test"), twoA}));
    DnsAnswerRecords records;
    ASSERT_EQ(DnsParseAnswer(withCname, query, true, &records), DnsAnswerVerdict::Taken);
    EXPECT_EQ(records.addresses.size(), 2u);
    EXPECT_EQ(records.cnames, std::vector<std::string>{"edge.cdn.test"});
    ASSERT_EQ(DnsParseAnswer(withCname, query, false, &records), DnsAnswerVerdict::Taken);
    EXPECT_TRUE(records.cnames.empty());
}

TEST(DnsQueryClientTest, IgnoresSpoofedAndUnusableAnswersUntilTheRealOne) {
    CFakeDnsServer server;
    server.OnQuery([](const Bytes& query, CFakeDnsServer& s) {
        const Bytes evil = ARecord(6, 6, 6, 6);
        s.ReplyFrom("127.0.0.2", DnsAnswerTo(query, 0x8180, 1, evil));  // another host
        s.ReplyFrom("127.0.0.1", DnsAnswerTo(query, 0x8180, 1, evil));  // the right host, another port
        Bytes otherId = DnsAnswerTo(query, 0x8180, 1, evil);
        otherId[1] ^= 0x80;
        s.Reply(otherId);
        s.Reply(DnsAnswerTo(DnsBuildQuery(kId, "other.test"), 0x8180, 1, evil));
        s.Reply(DnsAnswerTo(query, 0x8380, 1, evil));  // truncated, use TCP
        s.Reply(DnsAnswerTo(query, 0x8182, 1, evil));  // server failure
        s.Reply(Bytes(1500, 0));                       // longer than the answer buffer
        s.Reply(DnsAnswerTo(query, 0x8180, 3,
                            Concat({CnameRecord("cdn.test"), ARecord(10, 0, 0, 1), ARecord(10, 0, 0, 2)})));
    });
    DnsQueryClient client(FastOptions(server));
    ASSERT_EQ(client.Open(), 1);
    std::vector<std::string> addresses{"stale"}, cnames;
    std::uint32_t elapsed = 9999;
    ASSERT_EQ(client.Resolve("host.test", server.Address(), &addresses, &cnames, &elapsed), 1);
    EXPECT_EQ(addresses, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(cnames, std::vector<std::string>{"cdn.test"});
    EXPECT_LT(elapsed, 1500u);
}

TEST(DnsQueryClientTest, TimesOutOnSilenceAndOnEndlessNoise) {
    // Silence: the whole time-out, then elapsed is the time-out plus one.
    {
        CFakeDnsServer server;
        DnsQueryClient client(FastOptions(server, 200));
        ASSERT_EQ(client.Open(), 1);
        std::vector<std::string> addresses{"stale"};
        std::uint32_t elapsed = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(client.Resolve("host.test", server.Address(), &addresses, nullptr, &elapsed), 0);
        EXPECT_GE(Since(start), std::chrono::milliseconds(200));
        EXPECT_EQ(elapsed, 201u);
        EXPECT_TRUE(addresses.empty());
    }
    // Dropped datagrams arriving faster than the wait slice do not hold the wait open.
    {
        CFakeDnsServer server;
        server.OnQuery([](const Bytes& query, CFakeDnsServer& s) {
            for (int i = 0; i < 40; ++i) {
                s.Reply(DnsAnswerTo(query, 0x8183, 1, ARecord(1, 1, 1, 1)));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        DnsQueryClient client(FastOptions(server, 200));
        ASSERT_EQ(client.Open(), 1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(client.Resolve("host.test", server.Address(), nullptr, nullptr, nullptr), 0);
        EXPECT_LT(Since(start), std::chrono::milliseconds(350));
    }
}

TEST(DnsQueryClientTest, MalformedAnswerFromTheResolverFailsAtOnce) {
    const struct {
        const char* why;
        std::function<Bytes(const Bytes&)> answer;
    } cases[] = {
        {"records missing", [](const Bytes& q) { return DnsAnswerTo(q, 0x8180, 2, ARecord(1, 1, 1, 1)); }},
        {"pointer loop",
         [](const Bytes& q) {
             return DnsAnswerTo(q, 0x8180, 1, {0xC0, static_cast<std::uint8_t>(q.size())});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CFakeDnsServer server;
        server.OnQuery([&](const Bytes& query, CFakeDnsServer& s) { s.Reply(c.answer(query)); });
        DnsQueryClient client(FastOptions(server, 1500));
        ASSERT_EQ(client.Open(), 1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(client.Resolve("host.test", server.Address(), nullptr, nullptr, nullptr), 0);
        EXPECT_LT(Since(start), std::chrono::milliseconds(1000));
    }
}

TEST(DnsQueryClientTest, ClosesItsSocketEveryTime) {
    const auto countFds = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    CFakeDnsServer server;
    server.OnQuery([](const Bytes& q, CFakeDnsServer& s) { s.Reply(DnsAnswerTo(q, 0x8180, 1, ARecord(1, 2, 3, 4))); });
    const auto before = countFds();
    for (int i = 0; i < 20; ++i) {
        DnsQueryClient client(FastOptions(server));
        ASSERT_EQ(client.Open(), 1);
        EXPECT_EQ(client.Resolve("host.test", server.Address(), nullptr, nullptr, nullptr), 1);
        if (i % 2 == 0) client.Close();  // the others close in the destructor
    }
    EXPECT_EQ(countFds(), before);
}
