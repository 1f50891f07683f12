#include "support/FakeDnsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace testsupport {

FakeDnsServer::FakeDnsServer(std::vector<std::string> addresses) : m_addresses(std::move(addresses)) {}

FakeDnsServer::~FakeDnsServer() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_socket >= 0) ::close(m_socket);
}

bool FakeDnsServer::Start() {
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void FakeDnsServer::Loop() {
    std::uint8_t query[512];
    while (!m_stop.load()) {
        pollfd entry{m_socket, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            ::recvfrom(m_socket, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 12) continue;
        ++m_queries;
        // The question runs from byte 12 to the end of the query (one question, no extras).
        std::vector<std::uint8_t> answer(query, query + got);
        answer[2] = 0x81;  // response, recursion desired
        answer[3] = 0x80;  // recursion available, no error
        answer[6] = 0;
        answer[7] = static_cast<std::uint8_t>(m_addresses.size());
        answer[8] = answer[9] = answer[10] = answer[11] = 0;
        for (const std::string& text : m_addresses) {
            in_addr address{};
            inet_pton(AF_INET, text.c_str(), &address);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address.s_addr);
            const std::uint8_t record[] = {0xC0, 0x0C, 0, 1, 0,        1,        0,        0,
                                           0,    60,   0, 4, bytes[0], bytes[1], bytes[2], bytes[3]};
            answer.insert(answer.end(), record, record + sizeof record);
        }
        ::sendto(m_socket, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

}  // namespace testsupport
