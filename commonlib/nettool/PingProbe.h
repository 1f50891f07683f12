// ICMP echo probes over a raw socket (or the kernel's datagram ICMP socket where raw
// ones are refused), written up as a Chinese report in the style of the system's ping
// command: a header line, then one line per probe.
//
// Owned by one ping run on the diagnostics worker thread; nothing is shared. The
// report's lines follow one another without separators. A probe that can open
// neither socket (no CAP_NET_RAW, and a group outside net.ipv4.ping_group_range) is
// not ready and reports every probe as a time-out. Sockets are closed by Cleanup or
// the destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "commonlib/nettool/IcmpSocket.h"
#include "commonlib/nettool/NetToolTiming.h"

inline constexpr int kPingProbeCount = 4;

class PingProbe {
public:
    struct Options {
        MillisecondClock clock;           // default: monotonic
        MillisecondSleep sleep;           // the pause after each probe; default: a real sleep
        IcmpSocketFactory openSocket;     // default: OpenIcmpSocket
        std::optional<std::uint16_t> id;  // default: the low 16 bits of the process id
        std::uint32_t replyTimeoutMs = 2000;
        std::uint32_t waitSliceMs = 100;
        std::uint32_t pauseMs = 500;
        // Checked between probes; a set flag ends the run early (Stopped() tells).
        const std::atomic<bool>* stop = nullptr;
    };

    struct ProbeRecord {
        std::uint16_t sequence = 0;
        std::uint32_t roundTripMs = 0;
        std::uint32_t dataBytes = 0;
        std::uint8_t ttl = 0;
    };

    PingProbe();
    explicit PingProbe(Options options);
    ~PingProbe();
    PingProbe(const PingProbe&) = delete;
    PingProbe& operator=(const PingProbe&) = delete;

    // 1 when the socket is open and the probe can send.
    int Init();
    // Sends one request to `destination` (IPv4, network order). Without a record: 1 once sent.
    // With one: 1 and the record filled on the matching reply, 0 on a send error or time-out.
    int EchoOnce(std::uint32_t destination, ProbeRecord* record);
    // Four probes to `host` (a dotted IPv4 address or a name); fills Text().
    void Ping(const char* host);
    // Closes the socket and empties the text.
    void Cleanup();

    const std::wstring& Text() const { return m_text; }
    bool IsReady() const { return m_ready != 0; }
    bool Stopped() const { return m_stopped; }

private:
    bool StopRequested() const { return m_options.stop != nullptr && m_options.stop->load(); }

    Options m_options;
    std::unique_ptr<IIcmpSocket> m_socket;
    std::uint16_t m_id = 0;
    int m_ready = 0;
    bool m_started = false;
    bool m_stopped = false;
    std::uint16_t m_sequence = 0;
    std::wstring m_text;
};
