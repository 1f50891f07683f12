#include "support/RangeHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace testsupport {

RangeHttpServer::RangeHttpServer(const std::string& address) : m_address(address) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 64) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return;
    }
    socklen_t length = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &length);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

RangeHttpServer::~RangeHttpServer() {
    m_stopping = true;
    if (m_listenFd >= 0) ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable()) m_acceptThread.join();
    if (m_listenFd >= 0) ::close(m_listenFd);
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_clients)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(m_threads);
    }
    for (auto& t : threads)
        t.join();
}

std::string RangeHttpServer::Url(const std::string& path) const {
    return "http://" + m_address + ":" + std::to_string(m_port) + path;
}

void RangeHttpServer::Serve(const std::string& path, std::string body) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(body);
}

void RangeHttpServer::Redirect(const std::string& path, const std::string& location) {
    std::lock_guard lock(m_mutex);
    m_redirects[path] = location;
}

void RangeHttpServer::SetFault(Fault fault, int times, int status) {
    std::lock_guard lock(m_mutex);
    m_fault = fault;
    m_faultTimes = times;
    m_status = status;
}

std::vector<std::string> RangeHttpServer::RangeHeaders() const {
    std::lock_guard lock(m_mutex);
    return m_ranges;
}

void RangeHttpServer::AcceptLoop() {
    while (!m_stopping) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping || errno == EINVAL || errno == EBADF) return;
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_clients.push_back(fd);
        m_threads.emplace_back([this, fd] { ServeConnection(fd); });
    }
}

bool RangeHttpServer::SendAll(int fd, const char* data, size_t length, bool throttle) {
    const auto start = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < length && !m_stopping) {
        size_t chunk = length - sent;
        const std::uint64_t rate = throttle ? m_rate.load() : 0;
        if (rate > 0) {
            chunk = std::min<size_t>(chunk, std::max<std::uint64_t>(rate / 20, 1));
            const auto due = start + std::chrono::microseconds(sent * 1'000'000 / rate);
            std::this_thread::sleep_until(due);
        }
        const ssize_t n = ::send(fd, data + sent, chunk, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
        if (throttle) m_bodyBytes += static_cast<std::uint64_t>(n);
    }
    return sent == length;
}

void RangeHttpServer::ServeConnection(int fd) {
    std::string buffer;
    char chunk[8192];
    bool open = true;
    while (open && !m_stopping) {
        size_t headerEnd;
        while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            buffer.append(chunk, static_cast<size_t>(n));
        }
        if (!open) break;
        const std::string head = buffer.substr(0, headerEnd);
        buffer.erase(0, headerEnd + 4);
        ++m_requests;

        const size_t pathBegin = head.find(' ') + 1;
        const std::string path = head.substr(pathBegin, head.find(' ', pathBegin) - pathBegin);
        std::string range;
        for (size_t pos = head.find("\r\n"); pos != std::string::npos; pos = head.find("\r\n", pos + 2)) {
            const std::string line = head.substr(pos + 2, head.find("\r\n", pos + 2) - pos - 2);
            if (strncasecmp(line.c_str(), "range:", 6) == 0) range = line.substr(line.find_first_not_of(' ', 6));
        }

        std::string body, location;
        bool found;
        Fault fault;
        int status;
        {
            std::lock_guard lock(m_mutex);
            m_ranges.push_back(range);
            if (auto redirect = m_redirects.find(path); redirect != m_redirects.end()) location = redirect->second;
            auto it = m_files.find(path);
            found = it != m_files.end();
            if (found) body = it->second;
            fault = m_faultTimes != 0 ? m_fault : Fault::None;
            if (m_faultTimes > 0) --m_faultTimes;
            status = m_status;
        }
        if (!location.empty()) {
            const std::string reply = "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
            open = SendAll(fd, reply.data(), reply.size(), false);
            continue;
        }
        if (!found || fault == Fault::Status) {
            const int code = found ? status : 404;
            const std::string reply = "HTTP/1.1 " + std::to_string(code) + " Scripted\r\nContent-Length: 0\r\n\r\n";
            open = SendAll(fd, reply.data(), reply.size(), false);
            continue;
        }

        std::uint64_t first = 0, last = body.empty() ? 0 : body.size() - 1;
        bool ranged = false;
        if (range.rfind("bytes=", 0) == 0 && fault != Fault::IgnoreRange) {
            ranged = true;
            const std::string bounds = range.substr(6);
            const size_t dash = bounds.find('-');
            first = std::stoull(bounds.substr(0, dash));
            if (dash + 1 < bounds.size()) last = std::min<std::uint64_t>(std::stoull(bounds.substr(dash + 1)), last);
            if (first > last || first >= body.size()) {
                const std::string reply = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                          std::to_string(body.size()) + "\r\nContent-Length: 0\r\n\r\n";
                open = SendAll(fd, reply.data(), reply.size(), false);
                continue;
            }
        }
        std::string payload = body.substr(first, last - first + 1);
        std::uint64_t crFirst = first, total = body.size();
        if (fault == Fault::WrongRangeStart) ++crFirst;
        if (fault == Fault::WrongTotal) ++total;
        if (fault == Fault::OverlongBody) payload.append(payload.size() / 2 + 1, 'x');
        std::string reply = ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        if (ranged) {
            reply += "Content-Range: bytes " + std::to_string(crFirst) + "-" + std::to_string(last) + "/" +
                     std::to_string(total) + "\r\n";
        }
        reply += "Accept-Ranges: bytes\r\nContent-Length: " + std::to_string(payload.size()) + "\r\n\r\n";
        if (!SendAll(fd, reply.data(), reply.size(), false)) break;
        if (fault == Fault::Stall) {
            char ignored;
            while (!m_stopping && ::recv(fd, &ignored, 1, MSG_DONTWAIT) != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            break;
        }
        if (fault == Fault::ShortBody || fault == Fault::ResetMidBody) {
            SendAll(fd, payload.data(), payload.size() / 2, true);
            if (fault == Fault::ResetMidBody) {
                const linger reset{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            }
            break;
        }
        open = SendAll(fd, payload.data(), payload.size(), true);
    }
    {
        std::lock_guard lock(m_mutex);
        m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), fd), m_clients.end());
    }
    ::close(fd);
}

}  // namespace testsupport
