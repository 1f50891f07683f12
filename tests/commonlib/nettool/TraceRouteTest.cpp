#include "commonlib/nettool/TraceRoute.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"
#include "platform/net/HostResolver.h"
#include "platform/strings/StringConv.h"

using testsupport::CFakeIcmpNetwork;
using testsupport::EchoReplyTo;
using testsupport::FillTemplate;
using testsupport::IpDatagram;
using testsupport::TimeExceededFor;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint16_t kId = 0x1234;
const std::wstring kHeader = L"通过最多 30 个跃点跟踪到 %s 的路由。";
const std::wstring kNamedHeader = L"通过最多 30 个跃点跟踪到 %s [%s] 的路由。";
const std::wstring kHop = L"TTL:%d,TripTime:%d,ip:%s。";
const std::wstring kTimeout = L"超时。";
const std::wstring kDone = L"跟踪完成。";
const std::wstring kUnresolved = L"无法解析目标系统名称 %s 。";
const std::wstring kUnreachable = L"无法访问目标系统名称 %s 。";

struct TraceOnFakeNetwork {
    CFakeIcmpNetwork network;
    std::wstring text;
    std::vector<TraceHopRecord> hops;

    int Run(const std::wstring& host, bool socketFails = false) {
        TraceRouteOptions options;
        options.clock = network.Clock();
        options.openSocket = network.Factory(socketFails);
        options.id = kId;
        return TraceRoute(host, &text, &hops, options);
    }
};

std::uint32_t Address(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

}  // namespace

TEST(TraceRouteTest, FollowsRoutersToTheDestination) {
    TraceOnFakeNetwork fake;
    fake.network.onSend = [&](const Bytes& request, int ttl) {
        auto& net = fake.network;
        if (ttl == 2) {
            // Noise that must not count as hop 2's answer.
            net.Deliver(1, IpDatagram({10, 0, 0, 1}, 250, TimeExceededFor(net.sent[0])));  // hop 1, late
            Bytes foreign = request;
            foreign[4] = 0x77;
            net.Deliver(2, IpDatagram({10, 0, 0, 2}, 250, TimeExceededFor(foreign)));
            Bytes unreachable = TimeExceededFor(request);
            unreachable[0] = 3;
            net.Deliver(3, IpDatagram({10, 0, 0, 2}, 250, unreachable));
            net.Deliver(4, IpDatagram({127, 0, 0, 1}, 1, request));
        }
        if (ttl < 3) {
            net.Deliver(static_cast<std::uint32_t>(4 + ttl),
                        IpDatagram({10, 0, 0, static_cast<std::uint8_t>(ttl)}, 250, TimeExceededFor(request)));
        } else {
            net.Deliver(9, IpDatagram({10, 0, 0, 3}, 60, EchoReplyTo(request)));
        }
        return 0;
    };
    ASSERT_EQ(fake.Run(L"10.0.0.3"), 0);
    EXPECT_EQ(fake.text, FillTemplate(kHeader, {L"10.0.0.3"}) + FillTemplate(kHop, {L"1", L"5", L"10.0.0.1"}) +
                             FillTemplate(kHop, {L"2", L"6", L"10.0.0.2"}) +
                             FillTemplate(kHop, {L"3", L"9", L"10.0.0.3"}) + kDone);
    EXPECT_EQ(fake.network.sentTtls, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(fake.hops.size(), 3u);
    for (std::uint16_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.hops[i].sequence, htons(i));
        EXPECT_EQ(fake.network.sent[i][7], i);  // network order on the wire
    }
    EXPECT_EQ(fake.hops[2].address, Address("10.0.0.3"));
}

TEST(TraceRouteTest, EachHopWaitsItsTimeOutOnceWhateverElseArrives) {
    for (bool noisy : {false, true}) {
        SCOPED_TRACE(noisy ? "noisy" : "silent");
        TraceOnFakeNetwork fake;
        fake.network.onSend = [&](const Bytes& request, int) {
            if (noisy) {
                Bytes other = request;
                other[4] ^= 0xFF;
                for (std::uint32_t at : {1000u, 2000u, 2900u}) {
                    fake.network.Deliver(at, IpDatagram({10, 0, 0, 9}, 64, EchoReplyTo(other)));
                }
                fake.network.Deliver(2950, Bytes(1500, 0x45));  // oversized stranger
            }
            return 0;
        };
        const std::uint32_t start = fake.network.now;
        ASSERT_EQ(fake.Run(L"10.0.0.3"), 0);
        std::wstring expected = FillTemplate(kHeader, {L"10.0.0.3"});
        for (int i = 0; i < kTraceMaxHops; ++i)
            expected += kTimeout;
        EXPECT_EQ(fake.text, expected + kDone);
        EXPECT_EQ(fake.network.now - start, 30u * 3000u);
        EXPECT_TRUE(fake.hops.empty());
    }
}

TEST(TraceRouteTest, SendAndReceiveFailuresEndTheTrace) {
    const std::wstring header = FillTemplate(kHeader, {L"10.0.0.3"});
    const struct {
        const char* why;
        int sendError;
        int receiveError;
        int result;
        std::wstring text;
    } cases[] = {
        {"host unreachable", WSAEHOSTUNREACH, 0, 0, header + FillTemplate(kUnreachable, {L"10.0.0.3"})},
        {"no route", WSAENETUNREACH, 0, 0, header + FillTemplate(kUnreachable, {L"10.0.0.3"})},
        {"other send error", WSAENOBUFS, 0, -1, header + L"发送探测包失败，错误 10055。"},
        {"receive error", 0, WSAECONNRESET, -1, header},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TraceOnFakeNetwork fake;
        fake.network.onSend = [&](const Bytes&, int) { return c.sendError; };
        fake.network.receiveError = c.receiveError;
        EXPECT_EQ(fake.Run(L"10.0.0.3"), c.result);
        EXPECT_EQ(fake.text, c.text);
    }
    {
        TraceOnFakeNetwork fake;
        EXPECT_EQ(fake.Run(L"10.0.0.3", true), -1);
        EXPECT_EQ(fake.text, header);
    }
    {
        TraceOnFakeNetwork fake;
        fake.network.refuseTimeout = true;
        EXPECT_EQ(fake.Run(L"10.0.0.3"), -1);
        EXPECT_EQ(fake.text, header);
        EXPECT_TRUE(fake.network.sent.empty());
    }
}

TEST(TraceRouteTest, NamesAreResolvedOrReportedUnresolvable) {
    platform::CScopedHostResolver names([](const std::string& host, std::uint32_t* address) {
        if (host != "router.test") return false;
        *address = Address("10.0.0.3");
        return true;
    });
    {
        TraceOnFakeNetwork fake;
        fake.network.onSend = [&](const Bytes& request, int) {
            fake.network.Deliver(2, IpDatagram({10, 0, 0, 3}, 60, EchoReplyTo(request)));
            return 0;
        };
        ASSERT_EQ(fake.Run(L"router.test"), 0);
        EXPECT_EQ(fake.text, FillTemplate(kNamedHeader, {L"router.test", L"10.0.0.3"}) +
                                 FillTemplate(kHop, {L"1", L"2", L"10.0.0.3"}) + kDone);
    }
    for (const wchar_t* host : {L"nowhere.test", L"1.2.3"}) {
        SCOPED_TRACE(platform::Utf8FromWide(host));
        TraceOnFakeNetwork fake;
        EXPECT_EQ(fake.Run(host), -1);
        EXPECT_EQ(fake.text, FillTemplate(kUnresolved, {host}));
        EXPECT_TRUE(fake.network.sent.empty());
    }
}

TEST(TraceRouteTest, TracesLoopbackOverARawSocket) {
    int error = 0;
    if (OpenRawIcmpSocket(&error) == nullptr) GTEST_SKIP() << "raw ICMP sockets need root or CAP_NET_RAW";
    std::wstring text;
    std::vector<TraceHopRecord> hops;
    ASSERT_EQ(TraceRoute(L"127.0.0.1", &text, &hops), 0);
    ASSERT_EQ(hops.size(), 1u);
    EXPECT_EQ(hops[0].sequence, 0);
    EXPECT_EQ(hops[0].address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(text, FillTemplate(kHeader, {L"127.0.0.1"}) +
                        FillTemplate(kHop, {L"1", std::to_wstring(hops[0].time), L"127.0.0.1"}) + kDone);
}
