// A scripted ICMP network on a fake clock, for the ping and traceroute tests.
//
// Sockets it opens record what is sent and answer through `onSend`, which may
// schedule datagrams with Deliver. A receive returns the next datagram due within
// its time-out (moving the clock to its arrival) or moves the clock by the whole
// time-out and reports WSAETIMEDOUT. Single-threaded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commonlib/nettool/IcmpSocket.h"
#include "commonlib/nettool/NetToolTiming.h"
#include "platform/types/ErrorCodes.h"

namespace testsupport {

class CFakeIcmpNetwork {
public:
    using Datagram = std::vector<std::uint8_t>;

    std::uint32_t now = 100000;
    std::vector<Datagram> sent;
    std::vector<int> sentTtls;
    int receives = 0;
    // Returns the send error (0: sent); may Deliver answers.
    std::function<int(const Datagram& packet, int ttl)> onSend;
    int receiveError = 0;  // returned by every receive when set
    bool refuseTimeout = false;

    void Deliver(std::uint32_t delayMs, Datagram datagram) {
        m_inbox.push_back({now + delayMs, std::move(datagram)});
        std::stable_sort(m_inbox.begin(), m_inbox.end(), [](const auto& a, const auto& b) { return a.due < b.due; });
    }

    MillisecondClock Clock() {
        return [this] { return now; };
    }

    IcmpSocketFactory Factory(bool fail = false) {
        return [this, fail](int* error) -> std::unique_ptr<IIcmpSocket> {
            if (fail) {
                *error = WSAEACCES;
                return nullptr;
            }
            return std::make_unique<Socket>(*this);
        };
    }

private:
    struct Pending {
        std::uint32_t due;
        Datagram bytes;
    };

    class Socket : public IIcmpSocket {
    public:
        explicit Socket(CFakeIcmpNetwork& network) : m_network(network) {}
        bool SetTtl(int ttl) override {
            m_ttl = ttl;
            return true;
        }
        bool SetReceiveTimeout(std::uint32_t) override { return !m_network.refuseTimeout; }
        int Send(std::span<const std::uint8_t> packet, std::uint32_t) override {
            Datagram bytes(packet.begin(), packet.end());
            m_network.sent.push_back(bytes);
            m_network.sentTtls.push_back(m_ttl);
            return m_network.onSend ? m_network.onSend(bytes, m_ttl) : 0;
        }
        int Receive(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::size_t* received) override {
            ++m_network.receives;
            if (m_network.receiveError != 0) return m_network.receiveError;
            auto& inbox = m_network.m_inbox;
            if (inbox.empty() || inbox.front().due > m_network.now + timeoutMs) {
                m_network.now += timeoutMs;
                return WSAETIMEDOUT;
            }
            Pending next = std::move(inbox.front());
            inbox.erase(inbox.begin());
            m_network.now = std::max(m_network.now, next.due);
            if (next.bytes.size() > buffer.size()) return WSAEMSGSIZE;
            std::memcpy(buffer.data(), next.bytes.data(), next.bytes.size());
            *received = next.bytes.size();
            return 0;
        }

    private:
        CFakeIcmpNetwork& m_network;
        int m_ttl = 64;
    };

    std::vector<Pending> m_inbox;
};

// An IPv4 datagram from `source` (dotted bytes) carrying `icmp`; `options` extra header bytes.
inline std::vector<std::uint8_t> IpDatagram(std::initializer_list<std::uint8_t> source, std::uint8_t ttl,
                                            const std::vector<std::uint8_t>& icmp, std::size_t options = 0) {
    std::vector<std::uint8_t> out(20 + options, 0);
    out[0] = static_cast<std::uint8_t>(0x40 | ((20 + options) / 4));
    out[8] = ttl;
    out[9] = 1;
    std::copy(source.begin(), source.end(), out.begin() + 12);
    out.insert(out.end(), icmp.begin(), icmp.end());
    return out;
}

// The echo reply a host gives to `request`.
inline std::vector<std::uint8_t> EchoReplyTo(const std::vector<std::uint8_t>& request) {
    std::vector<std::uint8_t> icmp = request;
    icmp[0] = 0;
    return icmp;
}

// A router's time-exceeded message quoting the IP header and first 8 bytes of `request`.
inline std::vector<std::uint8_t> TimeExceededFor(const std::vector<std::uint8_t>& request) {
    std::vector<std::uint8_t> icmp = {11, 0, 0, 0, 0, 0, 0, 0};
    const auto quoted = IpDatagram({10, 0, 0, 99}, 1, std::vector<std::uint8_t>(request.begin(), request.begin() + 8));
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    return icmp;
}

}  // namespace testsupport

namespace testsupport {

// Fills a report line's template ("%s" and "%d" in order) the way the program's texts are defined.
inline std::wstring FillTemplate(std::wstring format, std::initializer_list<std::wstring> values) {
    for (const auto& value : values) {
        std::size_t at = format.find(L'%');
        if (at == std::wstring::npos || at + 1 >= format.size()) break;
        format.replace(at, 2, value);
    }
    return format;
}

}  // namespace testsupport
