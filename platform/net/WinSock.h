// Winsock-shaped sockets for the diagnostics and DNS code (UDP and raw ICMP).
//
// Any thread may call these; a socket belongs to the thread that uses it. The
// calls that clash with the C library's names live in namespace `winsock`, so a
// caller always says which one it means. Failures return SOCKET_ERROR or
// INVALID_SOCKET and leave a WSAE* number for WSAGetLastError (per thread).
// Windows semantics kept where callers depend on them: SO_RCVTIMEO/SO_SNDTIMEO
// take a DWORD in milliseconds; a receive that times out on a blocking socket
// fails with WSAETIMEDOUT; a datagram longer than the buffer fills the buffer
// and fails with WSAEMSGSIZE. Raw ICMP sockets need root or CAP_NET_RAW.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/types/ErrorCodes.h"
#include "platform/types/WinTypes.h"

using SOCKET = UINT_PTR;
inline constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
inline constexpr int SOCKET_ERROR = -1;
inline constexpr long FIONBIO = 0x8004667E;
using u_long = unsigned long;

inline constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return static_cast<WORD>(low | (high << 8));
}

struct WSADATA {
    WORD wVersion = 0;
    WORD wHighVersion = 0;
};

// Both always succeed: the host's sockets need no start-up. Sockets must still
// be closed one by one; nothing closes them behind the caller's back.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

namespace winsock {

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* address, int length);
int getsockname(SOCKET s, sockaddr* address, int* length);
int setsockopt(SOCKET s, int level, int name, const char* value, int length);
// Only FIONBIO is supported.
int ioctlsocket(SOCKET s, long command, u_long* argument);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int gethostname(char* name, int length);

// Stands in for an FD_READ event wait: 1 when a datagram is waiting within
// `timeoutMs`, 0 on time-out, SOCKET_ERROR on failure. Interrupted waits resume
// with the time that is left.
int WaitReadable(SOCKET s, DWORD timeoutMs);

}  // namespace winsock
