#include "commonlib/nettool/IcmpPacket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

#include "FakeIcmpNetwork.h"

using testsupport::EchoReplyTo;
using testsupport::IpDatagram;
using testsupport::TimeExceededFor;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint16_t kId = 0x1234;

Bytes ToBytes(std::span<const std::uint8_t> s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST(IcmpPacketTest, RequestsAreByteExactWithValidChecksums) {
    Bytes ping = {0x08, 0x00, 0xBC, 0xE9, 0x34, 0x12, 0x01, 0x00, 0x04, 0x03, 0x02, 0x01};
    ping.resize(44, 0);
    EXPECT_EQ(ToBytes(BuildPingRequest(kId, 1, 0x01020304)), ping);

    Bytes trace0 = {0x08, 0x00, 0x6F, 0x99, 0x34, 0x12, 0x00, 0x00};
    trace0.resize(40, 0x45);
    EXPECT_EQ(ToBytes(BuildTraceRequest(kId, 0)), trace0);
    Bytes trace1 = {0x08, 0x00, 0x6F, 0x98, 0x34, 0x12, 0x00, 0x01};  // sequence in network order
    trace1.resize(40, 0x45);
    EXPECT_EQ(ToBytes(BuildTraceRequest(kId, 1)), trace1);

    // A packet carrying its own checksum sums to zero, whatever its fields.
    for (std::uint16_t seq : {0, 1, 0xFFFF}) {
        SCOPED_TRACE(seq);
        EXPECT_EQ(IcmpChecksum(BuildPingRequest(0xFFFF, seq, 0xFFFFFFFF)), 0);
        EXPECT_EQ(IcmpChecksum(BuildTraceRequest(0xABCD, seq)), 0);
    }
}

TEST(IcmpPacketTest, PingReplyMatchesOnlyOurCurrentProbe) {
    const Bytes request = ToBytes(BuildPingRequest(kId, 3, 0x00001000));
    const Bytes reply = IpDatagram({10, 0, 0, 1}, 57, EchoReplyTo(request));
    PingReplyInfo info;
    ASSERT_TRUE(MatchPingReply(reply, kId, 3, &info));
    EXPECT_EQ(info.echoedSendTime, 0x1000u);
    EXPECT_EQ(info.dataBytes, 32u);
    EXPECT_EQ(info.ttl, 57);
    EXPECT_TRUE(MatchPingReply(IpDatagram({10, 0, 0, 1}, 57, EchoReplyTo(request), 8), kId, 3, &info));

    const struct {
        const char* why;
        Bytes datagram;
    } refused[] = {
        {"an earlier probe", IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(ToBytes(BuildPingRequest(kId, 2, 0))))},
        {"another process", IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(ToBytes(BuildPingRequest(0x4321, 3, 0))))},
        {"our own request seen on loopback", IpDatagram({127, 0, 0, 1}, 64, request)},
        {"cut before the send time", Bytes(reply.begin(), reply.begin() + 31)},
        {"header length below 20",
         [&] {
             Bytes b = reply;
             b[0] = 0x44;
             return b;
         }()},
        {"empty", {}},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(MatchPingReply(c.datagram, kId, 3, &info));
    }
}

TEST(IcmpPacketTest, TraceAnswersAreReadWithinTheirLength) {
    const Bytes request = ToBytes(BuildTraceRequest(kId, 4));
    const auto recordFor = [&] {
        TraceHopRecord record;
        std::memcpy(&record.sequence, &request[6], 2);
        record.time = 1000;
        return record;
    };
    const Bytes exceeded = IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request));
    Bytes otherId = request;
    otherId[4] = 0x99;
    Bytes unreachable = TimeExceededFor(request);
    unreachable[0] = 3;

    const struct {
        const char* why;
        Bytes datagram;
        bool accepted;
    } cases[] = {
        {"echo reply from the host", IpDatagram({10, 0, 0, 3}, 60, EchoReplyTo(request)), true},
        {"time exceeded from a router", exceeded, true},
        {"time exceeded behind IP options", IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request), 4), true},
        {"quotes another process", IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(otherId)), false},
        {"quotes an earlier hop", IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(ToBytes(BuildTraceRequest(kId, 3)))),
         false},
        {"destination unreachable", IpDatagram({10, 9, 8, 7}, 250, unreachable), false},
        {"our own request seen on loopback", IpDatagram({127, 0, 0, 1}, 1, request), false},
        {"no room for the quoted header", Bytes(exceeded.begin(), exceeded.begin() + 28), false},
        {"quoted header cut short", Bytes(exceeded.begin(), exceeded.begin() + 48), false},
        {"quoted request cut short", Bytes(exceeded.begin(), exceeded.begin() + 55), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TraceHopRecord record = recordFor();
        EXPECT_EQ(ParseIcmpReply(c.datagram, kId, 1025, &record), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(record.time, 25u);
            EXPECT_EQ(record.address, c.datagram[12] | (c.datagram[13] << 8) | (c.datagram[14] << 16) |
                                          (static_cast<std::uint32_t>(c.datagram[15]) << 24));
        }
    }
}
