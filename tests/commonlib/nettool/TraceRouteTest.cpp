#include "commonlib/nettool/TraceRoute.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"
#include "platform/net/HostResolver.h"

using namespace testsupport;

namespace {

const std::wstring kHeader = L"通过最多 30 个跃点跟踪到 %s 的路由。";
const std::wstring kHop = L"TTL:%d,TripTime:%d,ip:%s。";
const std::wstring kDone = L"跟踪完成。";

struct Trace {
    CFakeIcmpNetwork net;
    std::wstring text;
    std::vector<TraceHopRecord> hops;

    int Run(const std::wstring& host, bool socketFails = false) {
        return TraceRoute(host, &text, &hops, net.On<TraceRouteOptions>(socketFails));
    }
};

}  // namespace

TEST(TraceRouteTest, FollowsRoutersToTheDestination) {
    Trace trace;
    auto& net = trace.net;
    net.onSend = [&](const Bytes& request, int ttl) {
        if (ttl == 2) {  // none of these answers hop 2
            Bytes foreign = request;
            foreign[4] ^= 0xFF;
            Bytes unreachable = TimeExceededFor(request);
            unreachable[0] = 3;
            net.Deliver(1, IpDatagram({10, 0, 0, 1}, 250, TimeExceededFor(net.sent[0])));
            net.Deliver(2, IpDatagram({10, 0, 0, 2}, 250, TimeExceededFor(foreign)));
            net.Deliver(3, IpDatagram({10, 0, 0, 2}, 250, unreachable));
            net.Deliver(4, IpDatagram({127, 0, 0, 1}, 1, request));
        }
        const auto from = static_cast<std::uint8_t>(ttl);
        net.Deliver(4u + ttl,
                    IpDatagram({10, 0, 0, from}, 60, ttl < 3 ? TimeExceededFor(request) : EchoReplyTo(request)));
        return 0;
    };
    ASSERT_EQ(trace.Run(L"10.0.0.3"), 0);
    EXPECT_EQ(trace.text, Fill(kHeader, {L"10.0.0.3"}) + Fill(kHop, {L"1", L"5", L"10.0.0.1"}) +
                              Fill(kHop, {L"2", L"6", L"10.0.0.2"}) + Fill(kHop, {L"3", L"7", L"10.0.0.3"}) + kDone);
    EXPECT_EQ(net.sentTtls, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(trace.hops.size(), 3u);
    EXPECT_EQ(trace.hops[2].sequence, htons(2));
    EXPECT_EQ(trace.hops[2].address, htonl(0x0A000003));
}

TEST(TraceRouteTest, EachHopWaitsItsTimeOutOnceWhateverElseArrives) {
    Trace trace;
    trace.net.onSend = [&](const Bytes& request, int) {
        Bytes other = request;
        other[4] ^= 0xFF;
        for (std::uint32_t at : {1000u, 2000u, 2900u})
            trace.net.Deliver(at, IpDatagram({10, 0, 0, 9}, 64, EchoReplyTo(other)));
        trace.net.Deliver(2950, Bytes(1500, 0x45));  // an oversized stranger
        return 0;
    };
    const std::uint32_t start = trace.net.now;
    ASSERT_EQ(trace.Run(L"10.0.0.3"), 0);
    std::wstring expected = Fill(kHeader, {L"10.0.0.3"});
    for (int i = 0; i < kTraceMaxHops; ++i)
        expected += L"超时。";
    EXPECT_EQ(trace.text, expected + kDone);
    EXPECT_EQ(trace.net.now - start, 30u * 3000u);
}

TEST(TraceRouteTest, FailuresEndTheTraceWithTheirCause) {
    platform::CScopedHostResolver names([](const std::string&, std::uint32_t*) { return false; });
    const std::wstring header = Fill(kHeader, {L"10.0.0.3"});
    const std::wstring unreachable = Fill(L"无法访问目标系统名称 %s 。", {L"10.0.0.3"});
    const struct {
        const char* why;
        std::wstring host;
        int sendError;
        bool socketFails;
        int result;
        std::wstring text;
    } cases[] = {
        {"host unreachable", L"10.0.0.3", WSAEHOSTUNREACH, false, 0, header + unreachable},
        {"other send error", L"10.0.0.3", WSAENOBUFS, false, -1, header + L"发送探测包失败，错误 10055。"},
        {"no raw socket", L"10.0.0.3", 0, true, -1, header},
        {"unknown name", L"nowhere.test", 0, false, -1, L"无法解析目标系统名称 nowhere.test 。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Trace trace;
        trace.net.onSend = [&](const Bytes&, int) { return c.sendError; };
        EXPECT_EQ(trace.Run(c.host, c.socketFails), c.result);
        EXPECT_EQ(trace.text, c.text);
        EXPECT_LE(trace.net.sent.size(), 1u);
    }
}
