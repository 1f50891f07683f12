#include "commonlib/nettool/IcmpPacket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"

using namespace testsupport;

namespace {

// What a datagram socket's kernel makes of our request: its own identifier (0xBEEF) in place of ours.
Bytes WithKernelId(std::span<const std::uint8_t> request) {
    Bytes bytes(request.begin(), request.end());
    bytes[4] = 0xEF;
    bytes[5] = 0xBE;
    return bytes;
}

}  // namespace

TEST(IcmpPacketTest, TraceAnswersFromRawAndDatagramSocketsAreReadOnlyWithinTheirLength) {
    const auto built = BuildTraceRequest(0x1234, 6);
    const Bytes request(built.begin(), built.end());
    const Bytes kernel = WithKernelId(request);
    const std::uint32_t router = 0x0708090A, host = 0x0100007F;  // 10.9.8.7 and 127.0.0.1, network order
    const Bytes exceeded = IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request));  // 56 bytes
    Bytes shortHeader = IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(request));
    shortHeader[0] = 0x44;
    const auto error = [&](std::uint8_t type, std::uint8_t code, const Bytes& quoted) {
        return RawFormOfIcmpError(router, host, type, code, quoted, 0x1234);
    };
    const struct {
        const char* why;
        Bytes datagram;
        std::uint16_t sequence;
        std::uint32_t from;  // 0: not an answer
    } cases[] = {
        // clang-format off
        {"time exceeded", exceeded, 6, router},
        {"time exceeded behind IP options", IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request), 4), 6, router},
        {"quoted header cut short", Bytes(exceeded.begin(), exceeded.begin() + 47), 6, 0},
        {"quoted request cut short", Bytes(exceeded.begin(), exceeded.begin() + 55), 6, 0},
        {"IP header length below 20", shortHeader, 6, 0},
        {"datagram socket: time exceeded", error(11, 0, kernel), 6, router},
        {"datagram socket: time exceeded for an earlier hop", error(11, 0, kernel), 5, 0},
        {"datagram socket: unreachable is no answer, as with raw sockets", error(3, 1, kernel), 6, 0},
        {"datagram socket: echo reply", RawFormOfEchoReply(host, 64, EchoReplyTo(kernel), 0x1234), 6, host},
        {"datagram socket: quoted request cut to its header", error(11, 0, Bytes(kernel.begin(), kernel.begin() + 8)),
         6, router},
        {"datagram socket: quoted request shorter than a header", error(11, 0, Bytes(4, 8)), 6, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TraceHopRecord record;
        record.sequence = htons(c.sequence);  // as the request carries it
        record.time = 1000;
        EXPECT_EQ(ParseIcmpReply(c.datagram, 0x1234, 1025, &record), c.from != 0);
        if (c.from != 0) {
            EXPECT_EQ(record.address, c.from);
            EXPECT_EQ(record.time, 25u);
        }
    }
}

TEST(IcmpPacketTest, PingRepliesFromADatagramSocketMatchLikeRawOnes) {
    const Bytes reply = EchoReplyTo(WithKernelId(BuildPingRequest(0x1234, 3, 5000)));
    const Bytes raw = RawFormOfEchoReply(0x0100007F, 57, reply, 0x1234);
    PingReplyInfo info;
    EXPECT_TRUE(MatchPingReply(raw, 0x1234, 3, &info));
    EXPECT_EQ(info.ttl, 57);
    EXPECT_EQ(info.echoedSendTime, 5000u);
    EXPECT_EQ(info.dataBytes, 32u);
    EXPECT_FALSE(MatchPingReply(raw, 0x1234, 2, &info));
}
