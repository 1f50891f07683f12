#include "platform/net/WinSock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// A UDP socket bound to 127.0.0.1 on a port of the system's choosing.
struct LoopbackUdp {
    LoopbackUdp() {
        s = winsock::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(winsock::bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        int length = sizeof address;
        EXPECT_EQ(winsock::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
    }
    ~LoopbackUdp() { winsock::closesocket(s); }
    int SendTo(const LoopbackUdp& to, const std::string& bytes) const {
        return winsock::sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0,
                               reinterpret_cast<const sockaddr*>(&to.address), sizeof to.address);
    }
    SOCKET s = INVALID_SOCKET;
    sockaddr_in address{};
};

}  // namespace

TEST(WinSockTest, DatagramsTravelOverLoopbackWithTheirSender) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    LoopbackUdp a, b;
    ASSERT_NE(a.s, INVALID_SOCKET);
    EXPECT_EQ(winsock::WaitReadable(b.s, 0), 0);
    ASSERT_EQ(a.SendTo(b, "hello"), 5);
    ASSERT_EQ(winsock::WaitReadable(b.s, 2000), 1);
    char buffer[16] = {};
    sockaddr_in from{};
    int fromLength = sizeof from;
    ASSERT_EQ(winsock::recvfrom(b.s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(from.sin_port, a.address.sin_port);
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinSockTest, ReceiveTimeoutIsMillisecondsAndEndsInTimedOut) {
    LoopbackUdp a;
    const DWORD timeoutMs = 150;
    ASSERT_EQ(
        winsock::setsockopt(a.s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs),
        0);
    char buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(winsock::recvfrom(a.s, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));  // 150 read as seconds would hang far longer

    // A non-blocking socket with nothing waiting would block instead.
    u_long on = 1;
    ASSERT_EQ(winsock::ioctlsocket(a.s, FIONBIO, &on), 0);
    EXPECT_EQ(winsock::recvfrom(a.s, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST(WinSockTest, OversizedDatagramFillsTheBufferAndFailsWithMsgSize) {
    LoopbackUdp a, b;
    ASSERT_EQ(a.SendTo(b, std::string(2000, 'x')), 2000);
    ASSERT_EQ(winsock::WaitReadable(b.s, 2000), 1);
    std::vector<char> buffer(1024, 0);
    EXPECT_EQ(winsock::recvfrom(b.s, buffer.data(), 1024, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    EXPECT_EQ(buffer[1023], 'x');
    EXPECT_EQ(winsock::WaitReadable(b.s, 0), 0);  // the datagram is consumed
}

TEST(WinSockTest, FailuresCarryWinsockNumbers) {
    EXPECT_EQ(winsock::closesocket(INVALID_SOCKET), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);

    LoopbackUdp a;
    u_long value = 0;
    EXPECT_EQ(winsock::ioctlsocket(a.s, 0x1234, &value), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    const int ttl = 7;
    EXPECT_EQ(winsock::setsockopt(a.s, IPPROTO_IP, IP_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl), 0);
    EXPECT_EQ(winsock::setsockopt(a.s, SOL_SOCKET, SO_RCVTIMEO, "", 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);

    // The port is taken by `a`.
    const SOCKET other = winsock::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    EXPECT_EQ(winsock::bind(other, reinterpret_cast<const sockaddr*>(&a.address), sizeof a.address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    winsock::closesocket(other);

    char name[256];
    ASSERT_EQ(winsock::gethostname(name, sizeof name), 0);
    EXPECT_GT(std::string(name).size(), 0u);
}
