// The ICMP socket the probes send through, behind an interface so tests can play
// the network's part (routers, time-outs, stray traffic) without one.
//
// One socket belongs to one probe run on one thread. The raw implementation needs
// root or CAP_NET_RAW; opening it fails otherwise. The datagram implementation needs
// neither, only a group that net.ipv4.ping_group_range admits; it delivers its answers
// in the raw form (IPv4 header first) too. Errors are WSAE* numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

class IIcmpSocket {
public:
    virtual ~IIcmpSocket() = default;
    virtual bool SetTtl(int ttl) = 0;
    virtual bool SetReceiveTimeout(std::uint32_t ms) = 0;
    // 0 when sent, else the WSAE* number.
    virtual int Send(std::span<const std::uint8_t> packet, std::uint32_t destination) = 0;
    // 0 with one datagram (IPv4 header first) in `buffer`, WSAETIMEDOUT when none came
    // within `timeoutMs`, else the WSAE* number (WSAEMSGSIZE: longer than `buffer`).
    virtual int Receive(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::size_t* received) = 0;
};

// Null on failure, with the WSAE* number in `error`.
using IcmpSocketFactory = std::function<std::unique_ptr<IIcmpSocket>(int* error)>;

std::unique_ptr<IIcmpSocket> OpenRawIcmpSocket(int* error);
std::unique_ptr<IIcmpSocket> OpenDatagramIcmpSocket(int* error);
// A raw socket, or where raw sockets are refused, a datagram one; the raw socket's error
// when neither opens.
std::unique_ptr<IIcmpSocket> OpenIcmpSocket(int* error);
