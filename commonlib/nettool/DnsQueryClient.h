// A direct DNS A-record query to one resolver over UDP, without the system resolver.
//
// Owned and used by one thread at a time (the diagnostics worker or a name-resolution
// thread); each builds its own client. Resolve blocks for at most the time-out
// (1500 ms). Only an answer from the resolver that was asked, carrying our id and
// the name we asked for, ends the wait; anything else is dropped and the wait goes
// on. A matching answer that cannot be parsed fails the query at once. Every read of
// an answer is bounded by the received length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commonlib/nettool/NetToolTiming.h"
#include "platform/net/WinSock.h"

inline constexpr std::size_t kDnsHeaderSize = 12;
inline constexpr std::size_t kDnsMaxNameBytes = 255;
inline constexpr std::size_t kDnsSendBufferSize = kDnsHeaderSize + kDnsMaxNameBytes + 4;
inline constexpr std::size_t kDnsAnswerBufferSize = 1024;
// Decoded names keep at most this many characters (dots between labels included).
inline constexpr std::size_t kDnsMaxDecodedName = 127;

// Writes the QNAME of `host` (labels cut at ".", empty pieces skipped, then a zero byte).
// Refused: null arguments, `size` below strlen(host) + 2, a label over 63 bytes or an
// encoding over 255 bytes.
[[nodiscard]] bool DnsEncodeName(const char* host, std::uint8_t* out, std::uint16_t size, std::uint16_t* written);

// Decodes the name at `offset` of `message` into dotted text (no trailing dot; the root
// name is ""). `consumed` counts the bytes at the name's own position. Compression
// pointers must land inside the message and chains are capped; labels are 1-63 bytes.
[[nodiscard]] bool DnsDecodeName(std::span<const std::uint8_t> message, std::size_t offset, bool allowCompression,
                                 std::uint16_t* consumed, std::string* out);

// The query datagram for `host` with `id` written low byte first; empty when the name is refused.
std::vector<std::uint8_t> DnsBuildQuery(std::uint16_t id, const char* host);

enum class DnsAnswerVerdict {
    Taken,      // the answer to our query; records filled
    Dropped,    // not ours, or not a usable answer: keep waiting
    Malformed,  // ours, but it cannot be parsed: the query fails
};

struct DnsAnswerRecords {
    std::vector<std::string> addresses;  // dotted texts of the A records, in answer order
    std::vector<std::string> cnames;
};

// Judges `datagram` as the answer to `query` (its id and question name) and collects its records.
DnsAnswerVerdict DnsParseAnswer(std::span<const std::uint8_t> datagram, std::span<const std::uint8_t> query,
                                bool wantCnames, DnsAnswerRecords* records);

class DnsQueryClient {
public:
    struct Options {
        std::uint16_t port = 53;
        std::uint32_t timeoutMs = 1500;
        std::uint32_t waitSliceMs = 100;
        std::optional<std::uint16_t> queryId;  // default: the low 16 bits of the process id
        MillisecondClock clock;                // default: monotonic
    };

    DnsQueryClient();
    explicit DnsQueryClient(Options options);
    ~DnsQueryClient();
    DnsQueryClient(const DnsQueryClient&) = delete;
    DnsQueryClient& operator=(const DnsQueryClient&) = delete;

    // 1 when the socket and buffers are ready, else 0.
    int Open();
    // 1 when the resolver (IPv4, network order) answered; the outputs that are given are
    // replaced. On time-out `elapsedMs` is the time-out plus one. 0 at once for a name
    // that cannot be encoded, or when not opened.
    int Resolve(const char* host, std::uint32_t resolver, std::vector<std::string>* addresses,
                std::vector<std::string>* cnames, std::uint32_t* elapsedMs);
    // Closes the socket; the client may be opened again.
    void Close();
    bool IsOpened() const { return m_opened != 0; }

private:
    int QueryServer(const char* host, std::uint32_t resolver, std::vector<std::string>* addresses,
                    std::vector<std::string>* cnames, std::uint32_t* elapsedMs);
    int SendQuery(const char* host, const sockaddr_in& to);
    int ReceiveAnswer(const sockaddr_in& from, std::vector<std::string>* addresses, std::vector<std::string>* cnames,
                      std::uint32_t* elapsedMs);
    std::uint32_t Now() const;

    Options m_options;
    int m_opened = 0;
    SOCKET m_socket = INVALID_SOCKET;
    std::uint16_t m_queryId = 0;
    std::vector<std::uint8_t> m_query;
};
