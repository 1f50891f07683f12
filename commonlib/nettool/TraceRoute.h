// ICMP traceroute: echo requests with growing TTL over a raw socket (or the kernel's
// datagram ICMP socket where raw ones are refused), answered by routers (time
// exceeded) and at last by the host (echo reply).
//
// Runs on the caller's thread (the diagnostics worker); all state is local to the
// call and the socket is closed on every path. Each hop waits at most the hop
// time-out in total, whatever other ICMP traffic arrives meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commonlib/nettool/IcmpPacket.h"
#include "commonlib/nettool/IcmpSocket.h"
#include "commonlib/nettool/NetToolTiming.h"

inline constexpr int kTraceMaxHops = 30;

struct TraceRouteOptions {
    MillisecondClock clock;           // default: monotonic
    IcmpSocketFactory openSocket;     // default: OpenIcmpSocket
    std::optional<std::uint16_t> id;  // default: the low 16 bits of the process id
    std::uint32_t hopTimeoutMs = 3000;
    // Checked before each hop; a set flag ends the trace with -1.
    const std::atomic<bool>* stop = nullptr;
};

// Appends the Chinese report to `text` and one record per answered hop to `hops`.
// 0 when the trace ran (also when the destination was unreachable at sending);
// -1 when it could not start, a receive failed, a send failed for another reason
// (a line with the error number says so) or it was stopped.
int TraceRoute(const std::wstring& host, std::wstring* text, std::vector<TraceHopRecord>* hops,
               const TraceRouteOptions& options = {});
