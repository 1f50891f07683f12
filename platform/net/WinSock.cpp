#include "platform/net/WinSock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

int Fd(SOCKET s) {
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int Fail(int error) {
    WSASetLastError(error);
    return SOCKET_ERROR;
}

int FailFromErrno() {
    return Fail(WsaErrorFromErrno(errno));
}

bool IsNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && (flags & O_NONBLOCK) != 0;
}

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
    if (data == nullptr) return WSAEFAULT;
    data->wVersion = versionRequested;
    data->wHighVersion = MAKEWORD(2, 2);
    return 0;
}

int WSACleanup() {
    return 0;
}

int WSAGetLastError() {
    return static_cast<int>(GetLastError());
}

void WSASetLastError(int error) {
    SetLastError(static_cast<DWORD>(error));
}

namespace winsock {

SOCKET socket(int family, int type, int protocol) {
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd == -1) {
        FailFromErrno();
        return INVALID_SOCKET;
    }
    return static_cast<SOCKET>(fd);
}

int closesocket(SOCKET s) {
    if (Fd(s) < 0) return Fail(WSAENOTSOCK);
    // close() releases the descriptor even when it reports EINTR; retrying could close a reused one.
    if (::close(Fd(s)) == -1 && errno != EINTR) return FailFromErrno();
    return 0;
}

int bind(SOCKET s, const sockaddr* address, int length) {
    if (length < 0) return Fail(WSAEFAULT);
    if (::bind(Fd(s), address, static_cast<socklen_t>(length)) == -1) return FailFromErrno();
    return 0;
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    if (length == nullptr || *length < 0) return Fail(WSAEFAULT);
    socklen_t len = static_cast<socklen_t>(*length);
    if (::getsockname(Fd(s), address, &len) == -1) return FailFromErrno();
    *length = static_cast<int>(len);
    return 0;
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
    if (value == nullptr || length < 0) return Fail(WSAEFAULT);
    if (level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO)) {
        // Winsock callers pass a DWORD of milliseconds; the host wants a timeval.
        if (length < static_cast<int>(sizeof(DWORD))) return Fail(WSAEFAULT);
        DWORD ms = 0;
        std::memcpy(&ms, value, sizeof ms);
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(ms / 1000);
        tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
        if (::setsockopt(Fd(s), level, name, &tv, sizeof tv) == -1) return FailFromErrno();
        return 0;
    }
    if (::setsockopt(Fd(s), level, name, value, static_cast<socklen_t>(length)) == -1) return FailFromErrno();
    return 0;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
    if (command != FIONBIO) return Fail(WSAEINVAL);
    if (argument == nullptr) return Fail(WSAEFAULT);
    const int fd = Fd(s);
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1) return FailFromErrno();
    const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (fcntl(fd, F_SETFL, wanted) == -1) return FailFromErrno();
    return 0;
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength) {
    if (length < 0 || toLength < 0) return Fail(WSAEFAULT);
    for (;;) {
        const ssize_t n = ::sendto(Fd(s), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL, to,
                                   static_cast<socklen_t>(toLength));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return FailFromErrno();
    }
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
    if (length < 0 || (fromLength != nullptr && *fromLength < 0)) return Fail(WSAEFAULT);
    for (;;) {
        socklen_t len = fromLength != nullptr ? static_cast<socklen_t>(*fromLength) : 0;
        // MSG_TRUNC makes the host report a datagram's full length, so an oversized one can be told apart.
        const ssize_t n = ::recvfrom(Fd(s), buffer, static_cast<size_t>(length), flags | MSG_TRUNC, from,
                                     fromLength != nullptr ? &len : nullptr);
        if (n >= 0) {
            if (fromLength != nullptr) *fromLength = static_cast<int>(len);
            if (n > length) return Fail(WSAEMSGSIZE);
            return static_cast<int>(n);
        }
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && !IsNonBlocking(Fd(s))) return Fail(WSAETIMEDOUT);
        return FailFromErrno();
    }
}

int gethostname(char* name, int length) {
    if (name == nullptr || length <= 0) return Fail(WSAEFAULT);
    if (::gethostname(name, static_cast<size_t>(length)) == -1) return FailFromErrno();
    name[length - 1] = '\0';
    return 0;
}

int WaitReadable(SOCKET s, DWORD timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd pfd{Fd(s), POLLIN, 0};
    int waitMs = static_cast<int>(timeoutMs > 0x7FFFFFFF ? 0x7FFFFFFF : timeoutMs);
    for (;;) {
        const int r = ::poll(&pfd, 1, waitMs);
        if (r > 0) {
            if (pfd.revents & POLLNVAL) return Fail(WSAENOTSOCK);
            return 1;
        }
        if (r == 0) return 0;
        if (errno != EINTR) return FailFromErrno();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        waitMs = static_cast<int>(left);
    }
}

}  // namespace winsock
