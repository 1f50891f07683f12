// DNS resolver stand-ins on loopback UDP ports (a port the system picks unless given).
// CFakeDnsServer is scripted: its handler runs on the server's own thread for every query
// and answers with Reply, or with ReplyFrom to play a spoofer sending from another address.
// It runs until destroyed. AnswerWith makes a handler answering with fixed addresses.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class CFakeDnsServer {
public:
    using Handler = std::function<void(const Bytes& query, CFakeDnsServer& server)>;

    explicit CFakeDnsServer(const char* address = "127.0.0.1", std::uint16_t port = 0, Handler handler = {})
        : m_handler(std::move(handler)), m_fd(Bind(address, port, &m_address)) {
        m_thread = std::thread([this] { Serve(); });
    }
    ~CFakeDnsServer() {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }

    std::uint16_t Port() const { return ntohs(m_address.sin_port); }
    std::uint32_t Address() const { return m_address.sin_addr.s_addr; }
    int QueryCount() const { return m_queries; }
    Bytes LastQuery() {
        std::lock_guard lock(m_mutex);
        return m_lastQuery;
    }
    void Reply(const Bytes& datagram) { SendFrom(m_fd, datagram); }
    void ReplyFrom(const char* address, std::uint16_t port, const Bytes& datagram) {
        sockaddr_in unused{};
        const int fd = Bind(address, port, &unused);
        SendFrom(fd, datagram);
        close(fd);
    }

private:
    static int Bind(const char* address, std::uint16_t port, sockaddr_in* bound) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        bound->sin_family = AF_INET;
        bound->sin_port = htons(port);
        inet_pton(AF_INET, address, &bound->sin_addr);
        socklen_t length = sizeof *bound;
        if (bind(fd, reinterpret_cast<sockaddr*>(bound), sizeof *bound) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(bound), &length) != 0) {
            close(fd);
            throw std::runtime_error("fake resolver cannot bind");
        }
        return fd;
    }
    void SendFrom(int fd, const Bytes& datagram) {
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&m_client), sizeof m_client);
    }
    void Serve() {
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            std::uint8_t buffer[2048];
            socklen_t length = sizeof m_client;
            if (poll(&pfd, 1, 20) <= 0) continue;
            const ssize_t n = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&m_client), &length);
            if (n <= 0) continue;
            {
                std::lock_guard lock(m_mutex);
                m_lastQuery.assign(buffer, buffer + n);
            }
            ++m_queries;
            if (m_handler) m_handler(Bytes(buffer, buffer + n), *this);
        }
    }

    Handler m_handler;
    sockaddr_in m_address{};
    sockaddr_in m_client{};
    int m_fd;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_queries{0};
    std::mutex m_mutex;
    Bytes m_lastQuery;
    std::thread m_thread;
};

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An answer to `query` (its id and question) with the given flags, ANCOUNT and records.
inline Bytes DnsAnswerTo(Bytes answer, std::uint16_t flags, std::uint8_t answerCount, const Bytes& records) {
    answer[2] = static_cast<std::uint8_t>(flags >> 8);
    answer[3] = static_cast<std::uint8_t>(flags & 0xFF);
    answer[7] = answerCount;
    answer.insert(answer.end(), records.begin(), records.end());
    return answer;
}

// An A record whose owner is a pointer to the question name.
inline Bytes ARecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, a, b, c, d};
}
// A handler that answers every query with A records for `addresses` (none: an empty answer).
inline CFakeDnsServer::Handler AnswerWith(std::vector<std::string> addresses) {
    return [addresses = std::move(addresses)](const Bytes& query, CFakeDnsServer& server) {
        if (query.size() < 12) return;
        Bytes records;
        for (const std::string& text : addresses) {
            std::uint8_t a[4] = {};
            inet_pton(AF_INET, text.c_str(), a);
            records = records + ARecord(a[0], a[1], a[2], a[3]);
        }
        server.Reply(DnsAnswerTo(query, 0x8180, static_cast<std::uint8_t>(addresses.size()), records));
    };
}

}  // namespace testsupport
