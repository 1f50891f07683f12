// ICMP echo requests and the reading of the answers, for ping and traceroute.
// Pure functions, any thread.
//
// Received datagrams start with the IPv4 header, as raw sockets deliver them.
// Every field is read only after the length has been checked; a datagram too
// short for what it claims to hold is simply not a match.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t kPingRequestSize = 44;
inline constexpr std::size_t kTraceRequestSize = 40;

// RFC 1071 checksum over 16-bit words read low byte first; store it low byte first.
std::uint16_t IcmpChecksum(std::span<const std::uint8_t> data);

// Ping's request: every multi-byte field in host order (low byte first), 32 zero data bytes.
std::array<std::uint8_t, kPingRequestSize> BuildPingRequest(std::uint16_t id, std::uint16_t sequence,
                                                            std::uint32_t sendTime);
// Traceroute's request: the id low byte first, the hop sequence in network order, 32 bytes of 0x45.
std::array<std::uint8_t, kTraceRequestSize> BuildTraceRequest(std::uint16_t id, std::uint16_t sequence);

struct PingReplyInfo {
    std::uint32_t echoedSendTime = 0;
    std::uint32_t dataBytes = 0;  // the reply's length minus its IP header minus 12
    std::uint8_t ttl = 0;
};

// True when `datagram` is the echo reply to our request `sequence` with `id`.
bool MatchPingReply(std::span<const std::uint8_t> datagram, std::uint16_t id, std::uint16_t sequence,
                    PingReplyInfo* info);

struct TraceHopRecord {
    std::uint16_t sequence = 0;  // as written in the request (network order)
    std::uint32_t time = 0;      // the send time, then the round trip in ms once answered
    std::uint32_t address = 0;   // the answering node, network order
};

// True when `datagram` (an echo reply, or a time-exceeded quoting our request) answers
// the request in flight; then completes `record` with the sender and the round trip to `now`.
bool ParseIcmpReply(std::span<const std::uint8_t> datagram, std::uint16_t id, std::uint32_t now,
                    TraceHopRecord* record);

// The raw-socket form (an IPv4 header first) of what a datagram ICMP socket delivers, so the
// matchers above read both alike. That socket's kernel writes an echo identifier of its own
// into our requests and hands back only answers to them; `idAsWritten` (the identifier's two
// bytes as our requests carry them, read low byte first) is put back in its place.
// An echo reply from `from` (network order) that arrived with `ttl`:
std::vector<std::uint8_t> RawFormOfEchoReply(std::uint32_t from, std::uint8_t ttl,
                                             std::span<const std::uint8_t> message, std::uint16_t idAsWritten);
// An ICMP error (`type`, `code`) from the node `from` about our `request` to `destination`:
std::vector<std::uint8_t> RawFormOfIcmpError(std::uint32_t from, std::uint32_t destination, std::uint8_t type,
                                             std::uint8_t code, std::span<const std::uint8_t> request,
                                             std::uint16_t idAsWritten);
