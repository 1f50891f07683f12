// Feeds arbitrary datagrams to the readers of DNS answers and ICMP replies, which take what
// any host on the network sends. They must never read outside the datagram (the sanitizers
// watch), and what they accept must hold together. The DNS answer is judged against a query
// carrying the datagram's own id and question, so the fuzzer reaches the records; the ICMP
// readers get the identifier and sequence the datagram carries, for the same reason.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "commonlib/nettool/DnsQueryClient.h"
#include "commonlib/nettool/IcmpPacket.h"
#include "platform/net/InetAddress.h"

namespace {

std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void CheckDns(std::span<const std::uint8_t> datagram) {
    for (std::size_t offset = 0; offset < datagram.size() && offset < 512; ++offset) {
        std::uint16_t used = 0;
        std::string name;
        if (!DnsDecodeName(datagram, offset, true, &used, &name)) continue;
        if (name.size() > kDnsMaxDecodedName || used == 0 || used > datagram.size() - offset) std::abort();
    }
    if (datagram.size() < kDnsHeaderSize) return;
    std::uint16_t used = 0;
    std::string asked;
    std::vector<std::uint8_t> fixed = DnsBuildQuery(Le16(datagram, 0), "host.test");
    std::vector<std::uint8_t> own;
    if (DnsDecodeName(datagram, kDnsHeaderSize, false, &used, &asked)) {
        own = DnsBuildQuery(Le16(datagram, 0), asked.c_str());
    }
    for (const auto* query : {&fixed, &own}) {
        if (query->empty()) continue;
        DnsAnswerRecords records;
        if (DnsParseAnswer(datagram, *query, true, &records) != DnsAnswerVerdict::Taken) continue;
        for (const std::string& address : records.addresses) {
            std::uint32_t parsed = 0;
            if (!platform::ParseIPv4Address(address, &parsed)) std::abort();
        }
        for (const std::string& cname : records.cnames) {
            if (cname.size() > kDnsMaxDecodedName) std::abort();
        }
    }
}

void CheckIcmp(std::span<const std::uint8_t> datagram) {
    // The identifier and sequence where an echo reply behind a plain header would carry them.
    const std::uint16_t id = datagram.size() >= 28 ? Le16(datagram, 24) : 0x1234;
    const std::uint16_t sequence = datagram.size() >= 28 ? Le16(datagram, 26) : 1;
    PingReplyInfo info;
    if (MatchPingReply(datagram, id, sequence, &info) && info.dataBytes + 12 > datagram.size()) std::abort();
    TraceHopRecord record;
    std::memcpy(&record.sequence, &sequence, sizeof sequence);
    record.time = 100;
    if (ParseIcmpReply(datagram, id, 150, &record)) {
        std::uint32_t source = 0;
        std::memcpy(&source, &datagram[12], 4);
        if (record.address != source || record.time != 50) std::abort();
    }
    // Whatever a datagram socket hands over as our request, its raw form reads back as the
    // answer to that request.
    if (datagram.size() >= 8) {
        const std::uint32_t router = 0x0A000001;
        TraceHopRecord quoted;
        std::memcpy(&quoted.sequence, &datagram[6], 2);
        if (!ParseIcmpReply(RawFormOfIcmpError(router, 0x7F000001, 11, 0, datagram, 0x4321), 0x4321, 0, &quoted) ||
            quoted.address != router) {
            std::abort();
        }
        const std::vector<std::uint8_t> echo = RawFormOfEchoReply(router, 64, datagram, 0x4321);
        if (datagram[0] == 0 && datagram.size() >= 12 && !MatchPingReply(echo, 0x4321, Le16(datagram, 6), &info)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> datagram(data, size);
    CheckDns(datagram);
    CheckIcmp(datagram);
    return 0;
}
