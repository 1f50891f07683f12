#include "FakeDnsServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

CFakeDnsServer::CFakeDnsServer(const char* address, std::uint16_t port) {
    m_fd = socket(AF_INET, SOCK_DGRAM, 0);
    m_address.sin_family = AF_INET;
    m_address.sin_port = htons(port);
    inet_pton(AF_INET, address, &m_address.sin_addr);
    socklen_t length = sizeof m_address;
    if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_address), &length) != 0) {
        throw std::runtime_error("fake resolver cannot bind");
    }
    m_thread = std::thread([this] { Serve(); });
}

CFakeDnsServer::~CFakeDnsServer() {
    m_stop = true;
    m_thread.join();
    close(m_fd);
}

void CFakeDnsServer::OnQuery(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

Bytes CFakeDnsServer::LastQuery() const {
    std::lock_guard lock(m_mutex);
    return m_lastQuery;
}

void CFakeDnsServer::Serve() {
    while (!m_stop) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (poll(&pfd, 1, 20) <= 0) continue;
        std::uint8_t buffer[2048];
        socklen_t length = sizeof m_client;
        const ssize_t n = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&m_client), &length);
        if (n <= 0) continue;
        Handler handler;
        Bytes query(buffer, buffer + n);
        {
            std::lock_guard lock(m_mutex);
            m_lastQuery = query;
            handler = m_handler;
        }
        ++m_queries;
        if (handler) handler(query, *this);
    }
}

void CFakeDnsServer::Reply(const Bytes& datagram) {
    sendto(m_fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&m_client), sizeof m_client);
}

void CFakeDnsServer::ReplyFrom(const char* address, const Bytes& datagram) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, address, &from.sin_addr);
    bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&m_client), sizeof m_client);
    close(fd);
}

Bytes DnsAnswerTo(const Bytes& query, std::uint16_t flags, std::uint16_t answerCount, const Bytes& records) {
    Bytes answer(query.begin(), query.end());
    answer[2] = static_cast<std::uint8_t>(flags >> 8);
    answer[3] = static_cast<std::uint8_t>(flags & 0xFF);
    answer[6] = static_cast<std::uint8_t>(answerCount >> 8);
    answer[7] = static_cast<std::uint8_t>(answerCount & 0xFF);
    answer.insert(answer.end(), records.begin(), records.end());
    return answer;
}

Bytes ARecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, a, b, c, d};
}

Bytes EncodedName(const std::string& name) {
    Bytes out;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = name.find('.', start);
        if (end == std::string::npos) end = name.size();
        out.push_back(static_cast<std::uint8_t>(end - start));
        out.insert(out.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(end));
        start = end + 1;
    }
    out.push_back(0);
    return out;
}

Bytes CnameRecord(const std::string& target) {
    const Bytes name = EncodedName(target);
    Bytes out = {0xC0, 0x0C, 0, 5, 0, 1, 0, 0, 0, 60, 0, static_cast<std::uint8_t>(name.size())};
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

}  // namespace testsupport
