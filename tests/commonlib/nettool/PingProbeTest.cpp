#include "commonlib/nettool/PingProbe.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"
#include "platform/net/HostResolver.h"
#include "platform/strings/StringConv.h"

using testsupport::CFakeIcmpNetwork;
using testsupport::EchoReplyTo;
using testsupport::FillTemplate;
using testsupport::IpDatagram;

namespace {

constexpr std::uint16_t kId = 0x1234;
const std::wstring kHeader = L"正在ping %s 具有32字节的数据。";
const std::wstring kNamedHeader = L"正在ping %s [%s] 具有32字节的数据。";
const std::wstring kReply = L"来自 %s 的回复：时间%d TTL。";
const std::wstring kTimeout = L"超时。";
const std::wstring kNotFound = L"Ping 请求找不到主机 %s。";

struct PingOnFakeNetwork {
    CFakeIcmpNetwork network;
    int pauses = 0;

    PingProbe::Options Options(bool socketFails = false) {
        PingProbe::Options options;
        options.clock = network.Clock();
        options.sleep = [this](std::uint32_t ms) {
            network.now += ms;
            ++pauses;
        };
        options.openSocket = network.Factory(socketFails);
        options.id = kId;
        return options;
    }
};

}  // namespace

TEST(PingProbeTest, ReportsRepliesAndTimeOutsLineAfterLine) {
    PingOnFakeNetwork fake;
    fake.network.onSend = [&](const std::vector<std::uint8_t>& request, int) {
        const std::size_t probe = fake.network.sent.size();
        const auto reply = [&](const std::vector<std::uint8_t>& to) {
            return IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(to));
        };
        if (probe == 1) fake.network.Deliver(12, reply(request));
        if (probe == 2) {
            fake.network.Deliver(0, IpDatagram({127, 0, 0, 1}, 64, request));  // our own request
            fake.network.Deliver(1, reply(fake.network.sent[0]));              // late answer to probe 1
            fake.network.Deliver(15, reply(request));
        }
        if (probe == 3) {
            const auto full = reply(request);
            fake.network.Deliver(5, std::vector<std::uint8_t>(full.begin(), full.begin() + 31));  // cut short
        }
        return 0;
    };
    PingProbe probe(fake.Options());
    ASSERT_EQ(probe.Init(), 1);
    const std::uint32_t start = fake.network.now;
    probe.Ping("10.0.0.1");

    EXPECT_EQ(probe.Text(), FillTemplate(kHeader, {L"10.0.0.1"}) + FillTemplate(kReply, {L"10.0.0.1", L"12"}) +
                                FillTemplate(kReply, {L"10.0.0.1", L"15"}) + kTimeout + kTimeout);
    ASSERT_EQ(fake.network.sent.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.network.sent[i][6], i + 1);  // sequence 1..4, low byte first
        EXPECT_EQ(fake.network.sent[i][4], 0x34);
    }
    // Two answers, two full 2000 ms waits and a 500 ms pause after every probe.
    EXPECT_EQ(fake.pauses, 4);
    EXPECT_EQ(fake.network.now - start, 12u + 15u + 2000u + 2000u + 4u * 500u);
}

TEST(PingProbeTest, HeaderFollowsHowTheHostWasGiven) {
    platform::CScopedHostResolver names([](const std::string& host, std::uint32_t* address) {
        if (host != "pinghost.test") return false;
        inet_pton(AF_INET, "10.1.2.3", address);
        return true;
    });
    {
        PingOnFakeNetwork fake;
        fake.network.onSend = [&](const std::vector<std::uint8_t>& request, int) {
            fake.network.Deliver(3, IpDatagram({10, 1, 2, 3}, 64, EchoReplyTo(request)));
            return 0;
        };
        PingProbe probe(fake.Options());
        probe.Init();
        probe.Ping("pinghost.test");
        const std::wstring line = FillTemplate(kReply, {L"10.1.2.3", L"3"});
        EXPECT_EQ(probe.Text(),
                  FillTemplate(kNamedHeader, {L"pinghost.test", L"10.1.2.3"}) + line + line + line + line);
    }
    for (const char* host : {"unknown.test", "1.2.3", "999.1.1.1"}) {
        SCOPED_TRACE(host);
        PingOnFakeNetwork fake;
        PingProbe probe(fake.Options());
        probe.Init();
        probe.Ping(host);
        EXPECT_EQ(probe.Text(), FillTemplate(kNotFound, {platform::WideFromUtf8(host)}));
        EXPECT_TRUE(fake.network.sent.empty());
    }
    // Without a raw socket every probe times out after the header.
    {
        PingOnFakeNetwork fake;
        PingProbe probe(fake.Options(true));
        EXPECT_EQ(probe.Init(), 0);
        probe.Ping("10.0.0.1");
        EXPECT_EQ(probe.Text(), FillTemplate(kHeader, {L"10.0.0.1"}) + kTimeout + kTimeout + kTimeout + kTimeout);
        probe.Cleanup();
        EXPECT_TRUE(probe.Text().empty());
    }
}

TEST(PingProbeTest, StopFlagEndsTheRunBetweenProbes) {
    PingOnFakeNetwork fake;
    std::atomic<bool> stop{false};
    auto options = fake.Options();
    options.stop = &stop;
    options.sleep = [&](std::uint32_t) { stop = true; };
    PingProbe probe(options);
    probe.Init();
    probe.Ping("10.0.0.1");
    EXPECT_TRUE(probe.Stopped());
    EXPECT_EQ(fake.network.sent.size(), 1u);
}

TEST(PingProbeTest, PingsLoopbackOverARawSocket) {
    PingProbe::Options options;
    options.sleep = [](std::uint32_t) {};
    PingProbe probe(options);
    if (!probe.Init()) GTEST_SKIP() << "raw ICMP sockets need root or CAP_NET_RAW";
    PingProbe::ProbeRecord record;
    ASSERT_EQ(probe.EchoOnce(htonl(INADDR_LOOPBACK), &record), 1);
    EXPECT_EQ(record.sequence, 1);
    EXPECT_EQ(record.dataBytes, 32u);
    EXPECT_GT(record.ttl, 0);
    EXPECT_LT(record.roundTripMs, 1000u);

    probe.Ping("127.0.0.1");
    const std::wstring& text = probe.Text();
    const std::wstring header = FillTemplate(kHeader, {L"127.0.0.1"});
    ASSERT_EQ(text.substr(0, header.size()), header);
    std::size_t replies = 0;
    for (std::size_t at = text.find(L"来自 127.0.0.1 的回复：时间"); at != std::wstring::npos;
         at = text.find(L"来自 127.0.0.1 的回复：时间", at + 1)) {
        ++replies;
    }
    EXPECT_EQ(replies, 4u) << platform::Utf8FromWide(text);
}
