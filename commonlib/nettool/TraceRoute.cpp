#include "commonlib/nettool/TraceRoute.h"

#include <cstring>

#include "platform/net/HostResolver.h"
#include "platform/net/InetAddress.h"
#include "platform/net/WinSock.h"
#include "platform/strings/StringConv.h"

namespace {

constexpr std::size_t kAnswerBufferSize = 1024;

std::wstring Dotted(std::uint32_t address) {
    return platform::WideFromUtf8(platform::FormatIPv4Address(address));
}

class CWinsockSession {
public:
    CWinsockSession() {
        WSADATA data;
        m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~CWinsockSession() {
        if (m_started) WSACleanup();
    }
    CWinsockSession(const CWinsockSession&) = delete;
    CWinsockSession& operator=(const CWinsockSession&) = delete;
    bool Started() const { return m_started; }

private:
    bool m_started = false;
};

enum class HopOutcome { Answered, TimedOut, Failed };

// Waits for the answer to `record` until the hop's deadline, dropping every other datagram.
HopOutcome AwaitHop(IIcmpSocket& socket, const TraceRouteOptions& options, std::uint16_t id, TraceHopRecord* record) {
    std::uint8_t buffer[kAnswerBufferSize];
    const std::uint32_t waitStart = options.clock();
    for (;;) {
        const std::uint32_t waited = options.clock() - waitStart;
        if (waited >= options.hopTimeoutMs) return HopOutcome::TimedOut;
        std::size_t received = 0;
        const int error = socket.Receive(buffer, options.hopTimeoutMs - waited, &received);
        if (error == 0) {
            if (ParseIcmpReply(std::span(buffer, received), id, options.clock(), record)) return HopOutcome::Answered;
            continue;
        }
        // Someone else's oversized ICMP packet is noise, not a broken socket.
        if (error == WSAETIMEDOUT || error == WSAEMSGSIZE) continue;
        return HopOutcome::Failed;
    }
}

}  // namespace

int TraceRoute(const std::wstring& host, std::wstring* text, std::vector<TraceHopRecord>* hops,
               const TraceRouteOptions& given) {
    if (text == nullptr || hops == nullptr) return -1;
    TraceRouteOptions options = given;
    if (!options.clock) options.clock = SteadyMilliseconds;
    if (!options.openSocket) options.openSocket = OpenIcmpSocket;
    const std::uint16_t id = options.id.value_or(ProcessProbeId());

    const std::string hostText = platform::Utf8FromWide(host);
    CWinsockSession session;
    if (!session.Started()) return -1;

    std::uint32_t destination = 0;
    if (platform::ParseIPv4Address(hostText, &destination)) {
        *text += L"通过最多 30 个跃点跟踪到 " + Dotted(destination) + L" 的路由。";
    } else if (platform::IsDigitsAndDots(hostText) || !platform::ResolveHostIPv4(hostText, &destination)) {
        *text += L"无法解析目标系统名称 " + host + L" 。";
        return -1;
    } else {
        *text += L"通过最多 30 个跃点跟踪到 " + host + L" [" + Dotted(destination) + L"] 的路由。";
    }

    int openError = 0;
    const std::unique_ptr<IIcmpSocket> socket = options.openSocket(&openError);
    if (socket == nullptr || !socket->SetReceiveTimeout(options.hopTimeoutMs)) return -1;

    bool reached = false;
    for (int ttl = 1; ttl <= kTraceMaxHops && !reached; ++ttl) {
        if (options.stop != nullptr && options.stop->load()) return -1;
        socket->SetTtl(ttl);
        const auto request = BuildTraceRequest(id, static_cast<std::uint16_t>(ttl - 1));
        TraceHopRecord record;
        std::memcpy(&record.sequence, &request[6], sizeof record.sequence);
        record.time = options.clock();
        const int sendError = socket->Send(request, destination);
        if (sendError == WSAEHOSTUNREACH || sendError == WSAENETUNREACH) {
            *text += L"无法访问目标系统名称 " + Dotted(destination) + L" 。";
            return 0;
        }
        if (sendError != 0) {
            *text += L"发送探测包失败，错误 " + std::to_wstring(sendError) + L"。";
            return -1;
        }
        switch (AwaitHop(*socket, options, id, &record)) {
            case HopOutcome::Answered:
                hops->push_back(record);
                reached = record.address == destination;
                *text += L"TTL:" + std::to_wstring(ttl) + L",TripTime:" +
                         std::to_wstring(static_cast<std::int32_t>(record.time)) + L",ip:" + Dotted(record.address) +
                         L"。";
                break;
            case HopOutcome::TimedOut:
                *text += L"超时。";
                break;
            case HopOutcome::Failed:
                return -1;
        }
    }
    *text += L"跟踪完成。";
    return 0;
}
