#include "support/ScriptedTcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {
namespace {

int ListenOnLoopback(int* port, bool listen) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || (listen && ::listen(fd, 64) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// Waits up to 50 ms for `events`; false when the stop flag is set meanwhile.
bool WaitFor(int fd, short events, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        pollfd entry{fd, events, 0};
        if (::poll(&entry, 1, 50) > 0) return true;
    }
    return false;
}

}  // namespace

int UnusedLoopbackPort() {
    int port = 0;
    const int fd = ListenOnLoopback(&port, false);
    if (fd >= 0) ::close(fd);
    return port;
}

ScriptedTcpServer::ScriptedTcpServer(Script script) : m_script(std::move(script)) {}

ScriptedTcpServer::~ScriptedTcpServer() {
    m_stop.store(true);
    if (m_acceptThread.joinable()) m_acceptThread.join();
    for (auto& worker : m_workers)
        worker.join();
    if (m_listener >= 0) ::close(m_listener);
}

bool ScriptedTcpServer::Start() {
    m_listener = ListenOnLoopback(&m_port, true);
    if (m_listener < 0) return false;
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

std::string ScriptedTcpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void ScriptedTcpServer::AcceptLoop() {
    while (WaitFor(m_listener, POLLIN, m_stop)) {
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        ++m_connections;
        std::lock_guard lock(m_mutex);
        m_workers.emplace_back([this, socket] {
            Serve(socket);
            ::close(socket);
        });
    }
}

void ScriptedTcpServer::Serve(int socket) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (!WaitFor(socket, POLLIN, m_stop)) return;
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string& response = m_script.response;
    if (response.empty()) {
        // Hold the connection until the peer gives up or the test ends.
        while (WaitFor(socket, POLLIN, m_stop) && ::recv(socket, buffer, sizeof buffer, 0) > 0) {
        }
        return;
    }
    const std::size_t piece = m_script.piece ? m_script.piece : response.size();
    for (std::size_t sent = 0; sent < response.size() && !m_stop.load(); sent += piece) {
        const std::size_t size = std::min(piece, response.size() - sent);
        if (::send(socket, response.data() + sent, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) return;
        std::this_thread::sleep_for(m_script.interval);
    }
}

}  // namespace testsupport
