#include "platform/net/IcmpDatagramSocket.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/types/ErrorCodes.h"

namespace platform {

namespace {

constexpr std::size_t kAnswerBufferSize = 2048;

// Errors the kernel reports on the socket itself when an ICMP error arrives; the error
// queue holds the details, so a receive that meets one just looks again.
bool IsReportedIcmpError(int error) {
    return error == EHOSTUNREACH || error == ENETUNREACH || error == ECONNREFUSED || error == EPROTO ||
           error == EMSGSIZE || error == ENOPROTOOPT || error == EACCES;
}

// One answer as recvmsg hands it over: the bytes, the address and the ancillary data.
template <std::size_t ControlSize>
struct ReceivedMessage {
    std::uint8_t data[kAnswerBufferSize];
    alignas(cmsghdr) std::uint8_t control[ControlSize];
    sockaddr_in address{};
    iovec io{};
    msghdr header{};

    ssize_t Receive(int fd, int flags) {
        io = {data, sizeof data};
        header.msg_name = &address;
        header.msg_namelen = sizeof address;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        return ::recvmsg(fd, &header, flags);
    }
};

}  // namespace

std::unique_ptr<IcmpDatagramSocket> IcmpDatagramSocket::Open(int* error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd == -1) {
        if (error != nullptr) *error = WsaErrorFromErrno(errno);
        return nullptr;
    }
    // Errors (time exceeded from the routers on the way) come through the error queue,
    // and every reply tells its TTL.
    const int on = 1;
    if (::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == -1 ||
        ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) == -1) {
        if (error != nullptr) *error = WsaErrorFromErrno(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<IcmpDatagramSocket>(new IcmpDatagramSocket(fd));
}

IcmpDatagramSocket::~IcmpDatagramSocket() {
    ::close(m_fd);
}

bool IcmpDatagramSocket::SetTtl(int ttl) {
    return ::setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
}

int IcmpDatagramSocket::Send(std::span<const std::uint8_t> message, std::uint32_t destination) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    for (;;) {
        if (::sendto(m_fd, message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) >= 0) {
            return 0;
        }
        if (errno != EINTR) return WsaErrorFromErrno(errno);
    }
}

int IcmpDatagramSocket::Receive(std::uint32_t timeoutMs, IcmpDatagramAnswer* answer) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready == -1) {
            if (errno == EINTR) continue;
            return WsaErrorFromErrno(errno);
        }
        if (ready == 0) return WSAETIMEDOUT;
        bool taken = false;
        // The error queue first: reading it also clears the error pending on the socket.
        int result = (pfd.revents & POLLERR) ? ReceiveError(answer, &taken) : 0;
        if (result == 0 && !taken && (pfd.revents & POLLIN)) result = ReceiveReply(answer, &taken);
        if (result != 0 || taken) return result;
        if (Clock::now() >= deadline) return WSAETIMEDOUT;
    }
}

int IcmpDatagramSocket::ReceiveError(IcmpDatagramAnswer* answer, bool* taken) {
    ReceivedMessage<512> in;
    const ssize_t n = in.Receive(m_fd, MSG_ERRQUEUE | MSG_DONTWAIT);
    msghdr& header = in.header;
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : WsaErrorFromErrno(errno);
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
        sock_extended_err error{};
        std::memcpy(&error, CMSG_DATA(c), sizeof error);
        // Local errors (a message too long for the path, say) name no node on the way.
        if (error.ee_origin != SO_EE_ORIGIN_ICMP) return 0;
        if (c->cmsg_len < CMSG_LEN(sizeof error + sizeof(sockaddr_in))) return 0;
        sockaddr_in offender{};
        std::memcpy(&offender, CMSG_DATA(c) + sizeof error, sizeof offender);
        if ((header.msg_flags & MSG_TRUNC) != 0) return WSAEMSGSIZE;
        *answer = {};
        answer->kind = IcmpDatagramAnswer::Kind::Error;
        answer->from = offender.sin_addr.s_addr;
        answer->destination = in.address.sin_addr.s_addr;
        answer->type = error.ee_type;
        answer->code = error.ee_code;
        answer->message.assign(in.data, in.data + n);
        *taken = true;
        return 0;
    }
    return 0;
}

int IcmpDatagramSocket::ReceiveReply(IcmpDatagramAnswer* answer, bool* taken) {
    ReceivedMessage<128> in;
    const ssize_t n = in.Receive(m_fd, MSG_DONTWAIT);
    msghdr& header = in.header;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || IsReportedIcmpError(errno)) return 0;
        return WsaErrorFromErrno(errno);
    }
    if ((header.msg_flags & MSG_TRUNC) != 0) return WSAEMSGSIZE;
    *answer = {};
    answer->kind = IcmpDatagramAnswer::Kind::EchoReply;
    answer->from = in.address.sin_addr.s_addr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            answer->ttl = static_cast<std::uint8_t>(ttl);
        }
    }
    answer->message.assign(in.data, in.data + n);
    *taken = true;
    return 0;
}

}  // namespace platform
