#include "platform/net/WinSock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

SOCKET BoundUdp(sockaddr_in* address) {
    const SOCKET s = winsock::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    *address = {};
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof *address;
    EXPECT_EQ(winsock::bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address), 0);
    EXPECT_EQ(winsock::getsockname(s, reinterpret_cast<sockaddr*>(address), &length), 0);
    return s;
}

}  // namespace

TEST(WinSockTest, KeepsWinsockReceiveSemantics) {
    sockaddr_in aAddress, bAddress;
    const SOCKET a = BoundUdp(&aAddress), b = BoundUdp(&bAddress);
    const auto send = [&](const std::string& bytes) {
        return winsock::sendto(a, bytes.data(), static_cast<int>(bytes.size()), 0,
                               reinterpret_cast<const sockaddr*>(&bAddress), sizeof bAddress);
    };
    char buffer[1024];

    // SO_RCVTIMEO is a DWORD of milliseconds; running out is WSAETIMEDOUT.
    const DWORD timeoutMs = 150;
    ASSERT_EQ(winsock::setsockopt(b, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), 4), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(winsock::recvfrom(b, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));

    // A datagram longer than the buffer fills it and fails with WSAEMSGSIZE.
    ASSERT_EQ(send(std::string(2000, 'x')), 2000);
    ASSERT_EQ(winsock::WaitReadable(b, 2000), 1);
    EXPECT_EQ(winsock::recvfrom(b, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    EXPECT_EQ(buffer[1023], 'x');

    ASSERT_EQ(send("hello"), 5);
    sockaddr_in from{};
    int fromLength = sizeof from;
    ASSERT_EQ(winsock::recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 5);
    EXPECT_EQ(from.sin_port, aAddress.sin_port);

    EXPECT_EQ(winsock::closesocket(a), 0);
    EXPECT_EQ(winsock::closesocket(b), 0);
    EXPECT_EQ(winsock::closesocket(INVALID_SOCKET), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}
