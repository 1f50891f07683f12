#include "commonlib/nettool/DnsQueryClient.h"

#include <cstring>

#include "platform/net/InetAddress.h"

namespace {

constexpr std::size_t kMaxLabel = 63;
// A legal name of 127 characters can chain at most this many pointers; more means a loop.
constexpr int kMaxPointerHops = 64;
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypeCname = 5;

std::uint16_t ReadBe16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>((data[at] << 8) | data[at + 1]);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

bool DnsEncodeName(const char* host, std::uint8_t* out, std::uint16_t size, std::uint16_t* written) {
    if (host == nullptr || out == nullptr || written == nullptr) return false;
    const std::size_t hostLength = std::strlen(host);
    if (size < hostLength + 2) return false;
    std::size_t at = 0;
    const char* piece = host;
    for (;;) {
        const char* end = std::strchr(piece, '.');
        const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - piece) : std::strlen(piece);
        if (length > kMaxLabel) return false;
        if (length > 0) {
            out[at++] = static_cast<std::uint8_t>(length);
            std::memcpy(out + at, piece, length);
            at += length;
        }
        if (end == nullptr) break;
        piece = end + 1;
    }
    out[at++] = 0;
    if (at > kDnsMaxNameBytes) return false;
    *written = static_cast<std::uint16_t>(at);
    return true;
}

bool DnsDecodeName(std::span<const std::uint8_t> message, std::size_t offset, bool allowCompression,
                   std::uint16_t* consumed, std::string* out) {
    if (consumed == nullptr || out == nullptr) return false;
    std::string text;
    std::size_t at = offset;
    std::size_t ownBytes = 0;
    bool jumped = false;
    int hops = 0;
    for (;;) {
        if (at >= message.size()) return false;
        const std::uint8_t length = message[at];
        if (length == 0) {
            if (!jumped) ownBytes = at + 1 - offset;
            break;
        }
        const std::uint8_t prefix = length & 0xC0;
        if (prefix == 0xC0) {
            if (!allowCompression || at + 1 >= message.size() || ++hops > kMaxPointerHops) return false;
            const std::size_t target = ReadBe16(message, at) & 0x3FFF;
            if (target >= message.size()) return false;
            if (!jumped) ownBytes = at + 2 - offset;
            jumped = true;
            at = target;
            continue;
        }
        if (prefix != 0) return false;  // 0x40 and 0x80 label types do not exist
        if (at + 1 + length > message.size()) return false;
        // The dot after a label counts only once another label follows it.
        if (text.size() + length > kDnsMaxDecodedName) return false;
        text.append(reinterpret_cast<const char*>(&message[at + 1]), length);
        text.push_back('.');
        at += 1 + length;
    }
    if (!text.empty()) text.pop_back();
    *consumed = static_cast<std::uint16_t>(ownBytes);
    *out = std::move(text);
    return true;
}

std::vector<std::uint8_t> DnsBuildQuery(std::uint16_t id, const char* host) {
    if (host == nullptr) return {};
    // Encode into room for the whole text first; the encoder itself refuses anything over 255 bytes.
    std::vector<std::uint8_t> name(std::strlen(host) + 2);
    std::uint16_t nameBytes = 0;
    if (name.size() > 0xFFFF ||
        !DnsEncodeName(host, name.data(), static_cast<std::uint16_t>(name.size()), &nameBytes)) {
        return {};
    }
    std::vector<std::uint8_t> packet(kDnsSendBufferSize, 0);
    std::memcpy(packet.data() + kDnsHeaderSize, name.data(), nameBytes);
    packet[0] = static_cast<std::uint8_t>(id & 0xFF);  // host order, low byte first
    packet[1] = static_cast<std::uint8_t>(id >> 8);
    packet[2] = 0x01;  // recursion desired
    packet[5] = 1;     // QDCOUNT
    const std::size_t tail = kDnsHeaderSize + nameBytes;
    packet[tail + 1] = 1;  // QTYPE A
    packet[tail + 3] = 1;  // QCLASS IN
    packet.resize(tail + 4);
    return packet;
}

DnsAnswerVerdict DnsParseAnswer(std::span<const std::uint8_t> datagram, std::span<const std::uint8_t> query,
                                bool wantCnames, DnsAnswerRecords* records) {
    if (records == nullptr || query.size() < kDnsHeaderSize) return DnsAnswerVerdict::Dropped;
    if (datagram.size() < kDnsHeaderSize) return DnsAnswerVerdict::Dropped;
    if (datagram[0] != query[0] || datagram[1] != query[1]) return DnsAnswerVerdict::Dropped;
    // A response to a standard query, not truncated, recursion desired, no error; AA and RA do not matter.
    if ((ReadBe16(datagram, 2) & 0xFB7F) != 0x8100) return DnsAnswerVerdict::Dropped;
    const std::uint16_t questions = ReadBe16(datagram, 4);
    const std::uint16_t answers = ReadBe16(datagram, 6);
    if (answers == 0 || questions == 0) return DnsAnswerVerdict::Dropped;

    std::string askedName;
    std::uint16_t used = 0;
    if (!DnsDecodeName(query, kDnsHeaderSize, false, &used, &askedName)) return DnsAnswerVerdict::Dropped;

    std::size_t at = kDnsHeaderSize;
    for (std::uint16_t q = 0; q < questions; ++q) {
        std::string name;
        if (!DnsDecodeName(datagram, at, false, &used, &name)) return DnsAnswerVerdict::Malformed;
        // Departs from the original behaviour, which never compared the question: it may answer another query.
        if (q == 0 && !SameName(name, askedName)) return DnsAnswerVerdict::Dropped;
        at += used + 4u;
        if (at > datagram.size()) return DnsAnswerVerdict::Malformed;
    }

    DnsAnswerRecords found;
    for (std::uint16_t a = 0; a < answers; ++a) {
        std::string owner;
        if (!DnsDecodeName(datagram, at, true, &used, &owner)) return DnsAnswerVerdict::Malformed;
        at += used;
        if (at + 10 > datagram.size()) return DnsAnswerVerdict::Malformed;
        const std::uint16_t type = ReadBe16(datagram, at);
        const std::uint16_t rdLength = ReadBe16(datagram, at + 8);
        at += 10;
        if (at + rdLength > datagram.size()) return DnsAnswerVerdict::Malformed;
        if (type == kTypeA && rdLength == 4) {
            std::uint32_t address = 0;
            std::memcpy(&address, &datagram[at], 4);
            found.addresses.push_back(platform::FormatIPv4Address(address));
        } else if (type == kTypeCname && wantCnames) {
            std::string cname;
            if (!DnsDecodeName(datagram.first(at + rdLength), at, true, &used, &cname)) {
                return DnsAnswerVerdict::Malformed;
            }
            found.cnames.push_back(std::move(cname));
        }
        at += rdLength;
    }
    *records = std::move(found);
    return DnsAnswerVerdict::Taken;
}

DnsQueryClient::DnsQueryClient() : DnsQueryClient(Options{}) {}

DnsQueryClient::DnsQueryClient(Options options) : m_options(std::move(options)) {
    if (!m_options.clock) m_options.clock = SteadyMilliseconds;
}

DnsQueryClient::~DnsQueryClient() {
    Close();
}

std::uint32_t DnsQueryClient::Now() const {
    return m_options.clock();
}

int DnsQueryClient::Open() {
    Close();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    m_socket = winsock::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (m_socket == INVALID_SOCKET) {
        WSACleanup();
        return 0;
    }
    // Event selection leaves the socket non-blocking: a wake-up without a datagram must not hang the wait.
    u_long nonBlocking = 1;
    if (winsock::ioctlsocket(m_socket, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        Close();
        return 0;
    }
    m_query.reserve(kDnsSendBufferSize);
    m_queryId = m_options.queryId.value_or(ProcessProbeId());
    m_opened = 1;
    return 1;
}

void DnsQueryClient::Close() {
    if (m_socket != INVALID_SOCKET) {
        winsock::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
        WSACleanup();
    }
    m_query.clear();
    m_opened = 0;
}

int DnsQueryClient::Resolve(const char* host, std::uint32_t resolver, std::vector<std::string>* addresses,
                            std::vector<std::string>* cnames, std::uint32_t* elapsedMs) {
    return QueryServer(host, resolver, addresses, cnames, elapsedMs);
}

int DnsQueryClient::QueryServer(const char* host, std::uint32_t resolver, std::vector<std::string>* addresses,
                                std::vector<std::string>* cnames, std::uint32_t* elapsedMs) {
    if (!m_opened || host == nullptr) return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_options.port);
    to.sin_addr.s_addr = resolver;
    if (!SendQuery(host, to)) return 0;
    return ReceiveAnswer(to, addresses, cnames, elapsedMs);
}

int DnsQueryClient::SendQuery(const char* host, const sockaddr_in& to) {
    m_query = DnsBuildQuery(m_queryId, host);
    if (m_query.empty()) return 0;
    const int sent =
        winsock::sendto(m_socket, reinterpret_cast<const char*>(m_query.data()), static_cast<int>(m_query.size()), 0,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(m_query.size()) ? 1 : 0;
}

int DnsQueryClient::ReceiveAnswer(const sockaddr_in& from, std::vector<std::string>* addresses,
                                  std::vector<std::string>* cnames, std::uint32_t* elapsedMs) {
    const std::uint32_t start = Now();
    if (addresses != nullptr) addresses->clear();
    if (cnames != nullptr) cnames->clear();
    std::uint8_t buffer[kDnsAnswerBufferSize];
    for (;;) {
        if (winsock::WaitReadable(m_socket, m_options.waitSliceMs) == 1) {
            sockaddr_in sender{};
            int senderLength = sizeof sender;
            const std::uint32_t received = Now();
            const int n = winsock::recvfrom(m_socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
            // Departs from the original behaviour, which took any sender: a spoofed answer cannot pin an address.
            const bool fromResolver = n > 0 && sender.sin_family == AF_INET &&
                                      sender.sin_addr.s_addr == from.sin_addr.s_addr &&
                                      sender.sin_port == from.sin_port;
            if (fromResolver) {
                DnsAnswerRecords records;
                const DnsAnswerVerdict verdict = DnsParseAnswer(std::span(buffer, static_cast<std::size_t>(n)), m_query,
                                                                cnames != nullptr, &records);
                if (verdict == DnsAnswerVerdict::Malformed) return 0;
                if (verdict == DnsAnswerVerdict::Taken) {
                    if (addresses != nullptr) *addresses = std::move(records.addresses);
                    if (cnames != nullptr) *cnames = std::move(records.cnames);
                    if (elapsedMs != nullptr) *elapsedMs = received - start;
                    return 1;
                }
            }
        }
        // Dropped datagrams count against the limit too, so a stream of them cannot hold the wait open.
        if (Now() - start > m_options.timeoutMs) {
            if (elapsedMs != nullptr) *elapsedMs = m_options.timeoutMs + 1;
            return 0;
        }
    }
}
