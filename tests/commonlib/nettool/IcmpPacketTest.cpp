#include "commonlib/nettool/IcmpPacket.h"

#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"

using testsupport::Bytes;
using testsupport::EchoReplyTo;
using testsupport::IpDatagram;
using testsupport::TimeExceededFor;

namespace {

Bytes Padded(std::initializer_list<std::uint8_t> head, std::size_t size, std::uint8_t fill) {
    Bytes out(size, fill);
    std::copy(head.begin(), head.end(), out.begin());
    return out;
}

}  // namespace

TEST(IcmpPacketTest, RequestsAreByteExactWithValidChecksums) {
    const auto bytes = [](std::span<const std::uint8_t> s) { return Bytes(s.begin(), s.end()); };
    const Bytes ping = Padded({0x08, 0x00, 0xBC, 0xE9, 0x34, 0x12, 0x01, 0x00, 0x04, 0x03, 0x02, 0x01}, 44, 0);
    EXPECT_EQ(bytes(BuildPingRequest(0x1234, 1, 0x01020304)), ping);
    // The id low byte first, the sequence big-endian.
    const Bytes trace = Padded({0x08, 0x00, 0x6F, 0x98, 0x34, 0x12, 0x00, 0x01}, 40, 0x45);
    EXPECT_EQ(bytes(BuildTraceRequest(0x1234, 1)), trace);
    EXPECT_EQ(IcmpChecksum(BuildPingRequest(0xFFFF, 0xFFFF, 0xFFFFFFFF)), 0);  // sums to zero with it in place
}

TEST(IcmpPacketTest, AnswersAreReadOnlyWithinTheirLength) {
    const auto array = BuildTraceRequest(0x1234, 4);
    const Bytes request(array.begin(), array.end());
    const Bytes exceeded = IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request));  // 56 bytes
    Bytes shortHeader = IpDatagram({10, 0, 0, 1}, 64, EchoReplyTo(request));
    shortHeader[0] = 0x44;
    const struct {
        const char* why;
        Bytes datagram;
        bool accepted;
    } cases[] = {
        {"time exceeded", exceeded, true},
        {"time exceeded behind IP options", IpDatagram({10, 9, 8, 7}, 250, TimeExceededFor(request), 4), true},
        {"quoted header cut short", Bytes(exceeded.begin(), exceeded.begin() + 47), false},
        {"quoted request cut short", Bytes(exceeded.begin(), exceeded.begin() + 55), false},
        {"IP header length below 20", shortHeader, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TraceHopRecord record;
        std::memcpy(&record.sequence, &request[6], 2);  // as it stands in the request
        record.time = 1000;
        EXPECT_EQ(ParseIcmpReply(c.datagram, 0x1234, 1025, &record), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(record.time, 25u);
            EXPECT_EQ(record.address, 0x0708090Au);
        }
    }
}

TEST(IcmpPacketTest, DatagramSocketAnswersReadLikeRawOnes) {
    // The kernel wrote its own identifier (0xBEEF) into what we sent as 0x1234.
    const auto withKernelId = [](auto request) {
        Bytes bytes(request.begin(), request.end());
        bytes[4] = 0xEF;
        bytes[5] = 0xBE;
        return bytes;
    };
    const std::uint32_t router = 0x0708090A, host = 0x0100007F;
    {
        // An echo reply: our identifier again, and the sender and TTL where the matcher looks.
        const Bytes reply = EchoReplyTo(withKernelId(BuildPingRequest(0x1234, 3, 5000)));
        PingReplyInfo info;
        EXPECT_TRUE(MatchPingReply(RawFormOfEchoReply(host, 57, reply, 0x1234), 0x1234, 3, &info));
        EXPECT_EQ(info.ttl, 57);
        EXPECT_EQ(info.echoedSendTime, 5000u);
        EXPECT_EQ(info.dataBytes, 32u);
        EXPECT_FALSE(MatchPingReply(RawFormOfEchoReply(host, 57, reply, 0x1234), 0x1234, 2, &info));
    }
    const Bytes request = withKernelId(BuildTraceRequest(0x1234, 6));
    const struct {
        const char* why;
        Bytes datagram;
        std::uint16_t sequence;
        bool accepted;
        std::uint32_t address;
    } cases[] = {
        {"time exceeded from a router", RawFormOfIcmpError(router, host, 11, 0, request, 0x1234), 6, true, router},
        {"time exceeded for an earlier hop", RawFormOfIcmpError(router, host, 11, 0, request, 0x1234), 5, false, 0},
        {"unreachable is no answer, as with raw sockets", RawFormOfIcmpError(router, host, 3, 1, request, 0x1234), 6,
         false, 0},
        {"echo reply from the host", RawFormOfEchoReply(host, 64, EchoReplyTo(request), 0x1234), 6, true, host},
        {"quoted request cut to its header", RawFormOfIcmpError(router, host, 11, 0, Bytes(request.begin(),
                                                                                         request.begin() + 8),
                                                                 0x1234),
         6, true, router},
        {"quoted request shorter than a header", RawFormOfIcmpError(router, host, 11, 0, Bytes(4, 8), 0x1234), 6,
         false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TraceHopRecord record;
        const std::uint16_t wire = static_cast<std::uint16_t>((c.sequence >> 8) | (c.sequence << 8));
        record.sequence = wire;  // network order, as the request carries it
        record.time = 1000;
        EXPECT_EQ(ParseIcmpReply(c.datagram, 0x1234, 1004, &record), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(record.address, c.address);
        }
    }
}
