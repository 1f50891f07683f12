#include "commonlib/nettool/IcmpSocket.h"

#include <algorithm>
#include <cstring>

#include "commonlib/nettool/IcmpPacket.h"
#include "platform/net/IcmpDatagramSocket.h"
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

class CDatagramIcmpSocket final : public IIcmpSocket {
public:
    explicit CDatagramIcmpSocket(std::unique_ptr<platform::IcmpDatagramSocket> socket) : m_socket(std::move(socket)) {}

    bool SetTtl(int ttl) override { return m_socket->SetTtl(ttl); }
    // Each Receive waits its own time-out.
    bool SetReceiveTimeout(std::uint32_t) override { return true; }

    int Send(std::span<const std::uint8_t> packet, std::uint32_t destination) override {
        if (packet.size() >= 8) m_idAsWritten = static_cast<std::uint16_t>(packet[4] | (packet[5] << 8));
        return m_socket->Send(packet, destination);
    }

    int Receive(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::size_t* received) override {
        platform::IcmpDatagramAnswer answer;
        const int error = m_socket->Receive(timeoutMs, &answer);
        if (error != 0) return error;
        const std::vector<std::uint8_t> datagram =
            answer.kind == platform::IcmpDatagramAnswer::Kind::EchoReply
                ? RawFormOfEchoReply(answer.from, answer.ttl, answer.message, m_idAsWritten)
                : RawFormOfIcmpError(answer.from, answer.destination, answer.type, answer.code, answer.message,
                                     m_idAsWritten);
        // As a raw socket does: the buffer is filled and the datagram reported too long.
        const std::size_t size = std::min(datagram.size(), buffer.size());
        std::memcpy(buffer.data(), datagram.data(), size);
        *received = size;
        return size < datagram.size() ? WSAEMSGSIZE : 0;
    }

private:
    std::unique_ptr<platform::IcmpDatagramSocket> m_socket;
    std::uint16_t m_idAsWritten = 0;
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

std::unique_ptr<IIcmpSocket> OpenDatagramIcmpSocket(int* error) {
    auto socket = platform::IcmpDatagramSocket::Open(error);
    if (socket == nullptr) return nullptr;
    return std::make_unique<CDatagramIcmpSocket>(std::move(socket));
}

std::unique_ptr<IIcmpSocket> OpenIcmpSocket(int* error) {
    int rawError = 0;
    if (auto raw = OpenRawIcmpSocket(&rawError)) return raw;
    if (rawError == WSAEACCES) {
        if (auto datagram = OpenDatagramIcmpSocket(nullptr)) return datagram;
    }
    if (error != nullptr) *error = rawError;
    return nullptr;
}
