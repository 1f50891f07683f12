// A scripted ICMP network on a fake clock, for the ping and traceroute tests.
// Sockets record what is sent and hand it to `onSend`, which may Deliver answers.
// A receive returns the next datagram due within its time-out (moving the clock to
// its arrival) or moves the clock by the whole time-out and reports WSAETIMEDOUT.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commonlib/nettool/IcmpSocket.h"
#include "commonlib/nettool/NetToolTiming.h"
#include "platform/types/ErrorCodes.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class CFakeIcmpNetwork {
public:
    std::uint32_t now = 100000;
    std::vector<Bytes> sent;
    std::vector<int> sentTtls;
    std::function<int(const Bytes& packet, int ttl)> onSend;  // returns the send error

    void Deliver(std::uint32_t delayMs, Bytes datagram) { m_inbox.emplace(now + delayMs, std::move(datagram)); }
    // A ping's or a trace's options running on this network (pauses move the clock), id 0x1234.
    template <typename Options>
    Options On(bool socketFails = false) {
        Options options;
        options.clock = [this] { return now; };
        options.openSocket = [this, socketFails](int* error) -> std::unique_ptr<IIcmpSocket> {
            *error = WSAEACCES;
            return socketFails ? nullptr : std::make_unique<Socket>(*this);
        };
        options.id = 0x1234;
        if constexpr (requires { options.sleep; }) options.sleep = [this](std::uint32_t ms) { now += ms; };
        return options;
    }

private:
    class Socket : public IIcmpSocket {
    public:
        explicit Socket(CFakeIcmpNetwork& network) : m_net(network) {}
        bool SetTtl(int ttl) override { return (m_ttl = ttl) > 0; }
        bool SetReceiveTimeout(std::uint32_t) override { return true; }
        int Send(std::span<const std::uint8_t> packet, std::uint32_t) override {
            m_net.sent.emplace_back(packet.begin(), packet.end());
            m_net.sentTtls.push_back(m_ttl);
            return m_net.onSend ? m_net.onSend(m_net.sent.back(), m_ttl) : 0;
        }
        int Receive(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::size_t* received) override {
            const auto next = m_net.m_inbox.begin();
            if (next == m_net.m_inbox.end() || next->first > m_net.now + timeoutMs) {
                m_net.now += timeoutMs;
                return WSAETIMEDOUT;
            }
            m_net.now = std::max(m_net.now, next->first);
            const Bytes bytes = std::move(next->second);
            m_net.m_inbox.erase(next);
            if (bytes.size() > buffer.size()) return WSAEMSGSIZE;
            std::memcpy(buffer.data(), bytes.data(), bytes.size());
            *received = bytes.size();
            return 0;
        }

    private:
        CFakeIcmpNetwork& m_net;
        int m_ttl = 64;
    };

    std::multimap<std::uint32_t, Bytes> m_inbox;
};

// An IPv4 datagram from `source` carrying `icmp`, with `options` bytes of IP options.
inline Bytes IpDatagram(std::initializer_list<std::uint8_t> source, std::uint8_t ttl, const Bytes& icmp,
                        std::size_t options = 0) {
    // Sized once and filled in place: growing small vectors trips GCC 12's bounds warnings at -O3.
    Bytes out(20 + options + icmp.size(), 0);
    out[0] = static_cast<std::uint8_t>(0x40 | ((20 + options) / 4));
    out[8] = ttl;
    std::copy(source.begin(), source.end(), out.begin() + 12);
    std::copy(icmp.begin(), icmp.end(), out.begin() + static_cast<long>(20 + options));
    return out;
}

inline Bytes EchoReplyTo(Bytes request) {
    request[0] = 0;
    return request;
}

// A router's time-exceeded message quoting the IP header and first 8 bytes of `request`.
inline Bytes TimeExceededFor(const Bytes& request) {
    const Bytes quoted = IpDatagram({10, 0, 0, 99}, 1, Bytes(request.begin(), request.begin() + 8));
    Bytes icmp(8 + quoted.size(), 0);
    icmp[0] = 11;
    std::copy(quoted.begin(), quoted.end(), icmp.begin() + 8);
    return icmp;
}

// Fills a report line's template ("%s" and "%d" in order) as the program's texts are defined.
inline std::wstring Fill(std::wstring format, std::initializer_list<std::wstring> values) {
    for (const auto& value : values)
        format.replace(format.find(L'%'), 2, value);
    return format;
}

}  // namespace testsupport
