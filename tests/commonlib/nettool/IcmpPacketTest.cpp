#include "commonlib/nettool/IcmpPacket.h"

#include <gtest/gtest.h>

#include "FakeIcmpNetwork.h"

using testsupport::Bytes;
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
    Bytes shortHeader = IpDatagram({10, 0, 0, 1}, 64, testsupport::EchoReplyTo(request));
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
