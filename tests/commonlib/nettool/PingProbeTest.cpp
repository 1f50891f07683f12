#include "commonlib/nettool/PingProbe.h"

#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"

using namespace testsupport;

namespace {

const std::wstring kHeader = L"正在ping %s 具有32字节的数据。";
const std::wstring kReply = L"来自 %s 的回复：时间%d TTL。";
const std::wstring kTimeout = L"超时。";

}  // namespace

TEST(PingProbeTest, ReportsRepliesAndTimeOutsLineAfterLine) {
    CFakeIcmpNetwork net;
    net.onSend = [&](const Bytes& request, int) {
        const auto reply = [](const Bytes& to) { return IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(to)); };
        switch (net.sent.size()) {
            case 1:
                net.Deliver(12, reply(request));
                break;
            case 2:
                net.Deliver(0, IpDatagram({127, 0, 0, 1}, 64, request));  // our own request, looped back
                net.Deliver(1, reply(net.sent[0]));                       // a late answer to probe 1
                net.Deliver(15, reply(request));
                break;
            case 3:
                net.Deliver(5, Bytes(31, 0x45));  // too short to hold a reply
                break;
        }
        return 0;
    };
    PingProbe probe(net.On<PingProbe::Options>());
    ASSERT_EQ(probe.Init(), 1);
    const std::uint32_t start = net.now;
    probe.Ping("10.0.0.1");
    EXPECT_EQ(probe.Text(), Fill(kHeader, {L"10.0.0.1"}) + Fill(kReply, {L"10.0.0.1", L"12"}) +
                                Fill(kReply, {L"10.0.0.1", L"15"}) + kTimeout + kTimeout);
    ASSERT_EQ(net.sent.size(), 4u);
    EXPECT_EQ(net.sent[3][6], 4);  // sequences 1 to 4
    // Two answers, two full 2000 ms waits and a 500 ms pause after every probe.
    EXPECT_EQ(net.now - start, 12u + 15u + 2000u + 2000u + 4u * 500u);
}
