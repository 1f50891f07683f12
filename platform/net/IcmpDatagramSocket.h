// The kernel's unprivileged ICMP echo socket (SOCK_DGRAM with IPPROTO_ICMP): what ping and
// traceroute fall back to where raw sockets are refused. The system admits only the groups
// in net.ipv4.ping_group_range; anyone else is refused at Open with WSAEACCES.
//
// Unlike a raw socket it carries echo messages without their IP header, and the kernel
// writes the echo identifier (the socket's own, so only answers to this socket's requests
// arrive) and the checksum. Two kinds of answer come back: echo replies, with their sender
// and TTL, and ICMP errors about one of our requests (time exceeded, unreachable), with the
// node that reported it and the request as it was sent.
//
// One socket belongs to one thread. Errors are WSAE* numbers. The socket closes with the object.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform {

struct IcmpDatagramAnswer {
    enum class Kind { EchoReply, Error };
    Kind kind = Kind::EchoReply;
    std::uint32_t from = 0;         // the reply's sender, or the node reporting the error (network order)
    std::uint32_t destination = 0;  // Error: where the request was going (network order)
    std::uint8_t ttl = 0;           // EchoReply: the reply's TTL; 0 when the kernel did not tell
    std::uint8_t type = 0;          // Error: the ICMP type and code
    std::uint8_t code = 0;
    std::vector<std::uint8_t> message;  // EchoReply: the ICMP message; Error: our request as sent
};

class IcmpDatagramSocket {
public:
    // Null on failure, with the WSAE* number in `error` (when given).
    static std::unique_ptr<IcmpDatagramSocket> Open(int* error);
    ~IcmpDatagramSocket();
    IcmpDatagramSocket(const IcmpDatagramSocket&) = delete;
    IcmpDatagramSocket& operator=(const IcmpDatagramSocket&) = delete;

    bool SetTtl(int ttl);
    // 0 when sent, else the WSAE* number. `message` must be an echo request.
    int Send(std::span<const std::uint8_t> message, std::uint32_t destination);
    // 0 with one answer, WSAETIMEDOUT when none came within `timeoutMs`, WSAEMSGSIZE for an
    // answer too large to take (it is dropped), else the WSAE* number.
    int Receive(std::uint32_t timeoutMs, IcmpDatagramAnswer* answer);

private:
    explicit IcmpDatagramSocket(int fd) : m_fd(fd) {}
    int ReceiveError(IcmpDatagramAnswer* answer, bool* taken);
    int ReceiveReply(IcmpDatagramAnswer* answer, bool* taken);

    int m_fd;
};

}  // namespace platform
