#include "commonlib/nettool/PingProbe.h"

#include <algorithm>
#include <cstdio>

#include "commonlib/nettool/IcmpPacket.h"
#include "platform/net/HostResolver.h"
#include "platform/net/InetAddress.h"
#include "platform/net/WinSock.h"
#include "platform/strings/StringConv.h"

namespace {

constexpr std::size_t kReplyBufferSize = 256;

std::wstring NotFoundLine(const std::wstring& host) {
    return L"Ping 请求找不到主机 " + host + L"。";
}

}  // namespace

PingProbe::PingProbe() : PingProbe(Options{}) {}

PingProbe::PingProbe(Options options) : m_options(std::move(options)) {
    if (!m_options.clock) m_options.clock = SteadyMilliseconds;
    if (!m_options.sleep) m_options.sleep = SleepMilliseconds;
    if (!m_options.openSocket) m_options.openSocket = OpenIcmpSocket;
}

PingProbe::~PingProbe() {
    Cleanup();
}

int PingProbe::Init() {
    Cleanup();
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::printf("WSAStartup() failed: %d\n", WSAGetLastError());
        return 0;
    }
    m_started = true;
    m_id = m_options.id.value_or(ProcessProbeId());
    int error = 0;
    m_socket = m_options.openSocket(&error);
    m_ready = m_socket != nullptr ? 1 : 0;
    return m_ready;
}

void PingProbe::Cleanup() {
    m_socket.reset();
    if (m_started) WSACleanup();
    m_started = false;
    m_ready = 0;
    m_text.clear();
}

int PingProbe::EchoOnce(std::uint32_t destination, ProbeRecord* record) {
    if (!m_ready) return 0;
    const std::uint32_t sendTime = m_options.clock();
    ++m_sequence;
    const auto request = BuildPingRequest(m_id, m_sequence, sendTime);
    if (m_socket->Send(request, destination) != 0) return 0;
    if (record == nullptr) return 1;

    std::uint8_t buffer[kReplyBufferSize];
    for (;;) {
        const std::uint32_t waited = m_options.clock() - sendTime;
        if (waited >= m_options.replyTimeoutMs) return 0;
        const std::uint32_t slice = std::min(m_options.waitSliceMs, m_options.replyTimeoutMs - waited);
        std::size_t received = 0;
        PingReplyInfo reply;
        // Other datagrams (our own looped-back request, replies to others) are dropped.
        if (m_socket->Receive(buffer, slice, &received) == 0 &&
            MatchPingReply(std::span(buffer, received), m_id, m_sequence, &reply)) {
            record->sequence = m_sequence;
            record->roundTripMs = m_options.clock() - reply.echoedSendTime;
            record->dataBytes = reply.dataBytes;
            record->ttl = reply.ttl;
            return 1;
        }
    }
}

void PingProbe::Ping(const char* host) {
    m_text.clear();
    m_sequence = 0;
    m_stopped = false;
    if (host == nullptr) return;
    const std::wstring hostText = platform::WideFromUtf8(host);
    std::uint32_t address = 0;
    std::wstring shown;
    if (platform::IsDigitsAndDots(host)) {
        // Digits and dots that are no address ("1.2.3") are refused, never read the loose way.
        if (!platform::ParseIPv4Address(host, &address)) {
            m_text = NotFoundLine(hostText);
            return;
        }
        m_text = L"正在ping " + hostText + L" 具有32字节的数据。";
        shown = hostText;
    } else if (!platform::ResolveHostIPv4(host, &address)) {
        m_text = NotFoundLine(hostText);
        return;
    } else {
        shown = platform::WideFromUtf8(platform::FormatIPv4Address(address));
        m_text = L"正在ping " + hostText + L" [" + shown + L"] 具有32字节的数据。";
    }
    for (int i = 0; i < kPingProbeCount; ++i) {
        if (StopRequested()) {
            m_stopped = true;
            return;
        }
        ProbeRecord record;
        if (EchoOnce(address, &record)) {
            m_text += L"来自 " + shown + L" 的回复：时间" +
                      std::to_wstring(static_cast<std::int32_t>(record.roundTripMs)) + L" TTL。";
        } else {
            m_text += L"超时。";
        }
        m_options.sleep(m_options.pauseMs);
    }
}
