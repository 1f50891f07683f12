#include "commonlib/nettool/IcmpSocket.h"

#include "platform/net/WinSock.h"

namespace {

class CRawIcmpSocket final : public IIcmpSocket {
public:
    explicit CRawIcmpSocket(SOCKET s) : m_socket(s) {}
    ~CRawIcmpSocket() override { winsock::closesocket(m_socket); }
    CRawIcmpSocket(const CRawIcmpSocket&) = delete;
    CRawIcmpSocket& operator=(const CRawIcmpSocket&) = delete;

    bool SetTtl(int ttl) override {
        return winsock::setsockopt(m_socket, IPPROTO_IP, IP_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl) !=
               SOCKET_ERROR;
    }

    bool SetReceiveTimeout(std::uint32_t ms) override {
        const DWORD value = ms;
        return winsock::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                                   sizeof value) != SOCKET_ERROR;
    }

    int Send(std::span<const std::uint8_t> packet, std::uint32_t destination) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = destination;
        const int sent =
            winsock::sendto(m_socket, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return sent == SOCKET_ERROR ? WSAGetLastError() : 0;
    }

    int Receive(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::size_t* received) override {
        // The receive time-out is the wait: re-armed for each call, so a caller's deadline holds
        // however many unrelated datagrams arrive in between. Zero would mean "forever".
        if (!SetReceiveTimeout(timeoutMs > 0 ? timeoutMs : 1)) return WSAGetLastError();
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int n =
            winsock::recvfrom(m_socket, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n == SOCKET_ERROR) return WSAGetLastError();
        *received = static_cast<std::size_t>(n);
        return 0;
    }

private:
    SOCKET m_socket;
};

}  // namespace

std::unique_ptr<IIcmpSocket> OpenRawIcmpSocket(int* error) {
    const SOCKET s = winsock::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (s == INVALID_SOCKET) {
        if (error != nullptr) *error = WSAGetLastError();
        return nullptr;
    }
    return std::make_unique<CRawIcmpSocket>(s);
}
