#include "commonlib/nettool/IcmpPacket.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::size_t kMinIpHeader = 20;
constexpr std::size_t kIcmpHeader = 8;

// The IPv4 header length at `at`, or 0 when it is not a plausible one.
std::size_t IpHeaderLength(std::span<const std::uint8_t> data, std::size_t at) {
    if (at >= data.size()) return 0;
    const std::size_t length = 4u * (data[at] & 0x0F);
    return length >= kMinIpHeader ? length : 0;
}

std::uint16_t ReadLe16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

void WriteLe16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value & 0xFF);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr std::uint8_t kProtocolIcmp = 1;

// A plain IPv4 header (no options) in front of `payloadSize` bytes.
void AppendIpHeader(std::vector<std::uint8_t>* out, std::uint32_t source, std::uint32_t destination, std::uint8_t ttl,
                    std::size_t payloadSize) {
    const std::size_t total = std::min<std::size_t>(kMinIpHeader + payloadSize, 0xFFFF);
    // resize + set rather than insert: GCC 12 at -O3 misreads insert's bounds here.
    const std::size_t at = out->size();
    out->resize(at + kMinIpHeader);  // the rest stays zero: no options, no fragments
    std::uint8_t* header = out->data() + at;
    header[0] = 0x45;
    header[2] = static_cast<std::uint8_t>(total >> 8);
    header[3] = static_cast<std::uint8_t>(total & 0xFF);
    header[8] = ttl;
    header[9] = kProtocolIcmp;
    std::memcpy(out->data() + at + 12, &source, 4);
    std::memcpy(out->data() + at + 16, &destination, 4);
}

// `message` with the echo identifier put back to ours (when it is long enough to hold one).
void AppendWithOurId(std::vector<std::uint8_t>* out, std::span<const std::uint8_t> message, std::uint16_t idAsWritten) {
    const std::size_t at = out->size();
    out->insert(out->end(), message.begin(), message.end());
    if (message.size() >= kIcmpHeader) WriteLe16(out->data() + at + 4, idAsWritten);
}

}  // namespace

std::uint16_t IcmpChecksum(std::span<const std::uint8_t> data) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < data.size(); i += 2)
        sum += ReadLe16(data, i);
    if (i < data.size()) sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum);
}

std::array<std::uint8_t, kPingRequestSize> BuildPingRequest(std::uint16_t id, std::uint16_t sequence,
                                                            std::uint32_t sendTime) {
    std::array<std::uint8_t, kPingRequestSize> packet{};
    packet[0] = kEchoRequest;
    WriteLe16(&packet[4], id);
    WriteLe16(&packet[6], sequence);
    WriteLe16(&packet[8], static_cast<std::uint16_t>(sendTime & 0xFFFF));
    WriteLe16(&packet[10], static_cast<std::uint16_t>(sendTime >> 16));
    WriteLe16(&packet[2], IcmpChecksum(packet));
    return packet;
}

std::array<std::uint8_t, kTraceRequestSize> BuildTraceRequest(std::uint16_t id, std::uint16_t sequence) {
    std::array<std::uint8_t, kTraceRequestSize> packet{};
    packet[0] = kEchoRequest;
    WriteLe16(&packet[4], id);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence & 0xFF);
    std::memset(&packet[8], 0x45, kTraceRequestSize - 8);
    WriteLe16(&packet[2], IcmpChecksum(packet));
    return packet;
}

bool MatchPingReply(std::span<const std::uint8_t> datagram, std::uint16_t id, std::uint16_t sequence,
                    PingReplyInfo* info) {
    const std::size_t ip = IpHeaderLength(datagram, 0);
    // The reply must reach past the echoed send time that is read from it.
    if (ip == 0 || datagram.size() < ip + 12) return false;
    const auto icmp = datagram.subspan(ip);
    if (icmp[0] != kEchoReply || ReadLe16(icmp, 4) != id || ReadLe16(icmp, 6) != sequence) return false;
    if (info != nullptr) {
        info->echoedSendTime =
            static_cast<std::uint32_t>(ReadLe16(icmp, 8)) | (static_cast<std::uint32_t>(ReadLe16(icmp, 10)) << 16);
        info->dataBytes = static_cast<std::uint32_t>(datagram.size() - ip - 12);
        info->ttl = datagram[8];
    }
    return true;
}

bool ParseIcmpReply(std::span<const std::uint8_t> datagram, std::uint16_t id, std::uint32_t now,
                    TraceHopRecord* record) {
    if (record == nullptr) return false;
    const std::size_t ip = IpHeaderLength(datagram, 0);
    if (ip == 0 || datagram.size() < ip + kIcmpHeader) return false;
    std::size_t echo = 0;  // where the ICMP header carrying our id and sequence starts
    if (datagram[ip] == kEchoReply) {
        echo = ip;
    } else if (datagram[ip] == kTimeExceeded) {
        const std::size_t quotedIp = IpHeaderLength(datagram, ip + kIcmpHeader);
        if (quotedIp == 0) return false;
        echo = ip + kIcmpHeader + quotedIp;
        if (datagram.size() < echo + kIcmpHeader) return false;
    } else {
        return false;
    }
    std::uint16_t sequenceAsSent = 0;
    std::memcpy(&sequenceAsSent, &datagram[echo + 6], 2);
    if (ReadLe16(datagram, echo + 4) != id || sequenceAsSent != record->sequence) return false;
    std::memcpy(&record->address, &datagram[12], 4);
    record->time = now - record->time;
    return true;
}

std::vector<std::uint8_t> RawFormOfEchoReply(std::uint32_t from, std::uint8_t ttl,
                                             std::span<const std::uint8_t> message, std::uint16_t idAsWritten) {
    std::vector<std::uint8_t> datagram;
    datagram.reserve(kMinIpHeader + message.size());
    AppendIpHeader(&datagram, from, 0, ttl, message.size());
    AppendWithOurId(&datagram, message, idAsWritten);
    return datagram;
}

std::vector<std::uint8_t> RawFormOfIcmpError(std::uint32_t from, std::uint32_t destination, std::uint8_t type,
                                             std::uint8_t code, std::span<const std::uint8_t> request,
                                             std::uint16_t idAsWritten) {
    std::vector<std::uint8_t> datagram;
    datagram.reserve(2 * kMinIpHeader + kIcmpHeader + request.size());
    AppendIpHeader(&datagram, from, 0, 0, kIcmpHeader + kMinIpHeader + request.size());
    datagram.resize(datagram.size() + kIcmpHeader);  // type, code, then zeros
    datagram[kMinIpHeader] = type;
    datagram[kMinIpHeader + 1] = code;
    // The quoted request: its IP header as it left us, then the request itself.
    AppendIpHeader(&datagram, 0, destination, 1, request.size());
    AppendWithOurId(&datagram, request, idAsWritten);
    return datagram;
}
