#include "support/ReportCollector.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace testsupport {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool ReadMore(int fd, std::string& buffer) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
    return true;
}

void SendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

std::string CollectedRequest::Header(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const auto& [key, value] : headers) {
        if (Lower(key) == wanted) return value;
    }
    return {};
}

std::vector<FormPart> ParseMultipartForm(const CollectedRequest& request) {
    const std::string type = request.Header("Content-Type");
    const size_t at = type.find("boundary=");
    if (at == std::string::npos) return {};
    std::string boundary = type.substr(at + 9);
    if (!boundary.empty() && boundary.front() == '"') boundary = boundary.substr(1, boundary.find('"', 1) - 1);
    const std::string delimiter = "--" + boundary;

    std::vector<FormPart> parts;
    const std::string& body = request.body;
    size_t pos = body.find(delimiter);
    while (pos != std::string::npos) {
        pos += delimiter.size();
        if (body.compare(pos, 2, "--") == 0) return parts;
        if (body.compare(pos, 2, "\r\n") != 0) return {};
        const size_t headersEnd = body.find("\r\n\r\n", pos);
        if (headersEnd == std::string::npos) return {};
        const std::string partHeaders = body.substr(pos, headersEnd - pos);
        const size_t next = body.find("\r\n" + delimiter, headersEnd + 4);
        if (next == std::string::npos) return {};
        FormPart part;
        const size_t nameAt = partHeaders.find("name=\"");
        if (nameAt != std::string::npos) {
            part.name = partHeaders.substr(nameAt + 6, partHeaders.find('"', nameAt + 6) - nameAt - 6);
        }
        part.value = body.substr(headersEnd + 4, next - headersEnd - 4);
        parts.push_back(std::move(part));
        pos = next + 2;
    }
    return {};
}

ReportCollector::ReportCollector() {
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_listenFd, 8) != 0 || getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { AcceptLoop(); });
}

ReportCollector::~ReportCollector() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_holding = false;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_listenFd >= 0) close(m_listenFd);
}

std::string ReportCollector::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void ReportCollector::Hold() {
    std::lock_guard lock(m_mutex);
    m_holding = true;
}

void ReportCollector::Release() {
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
    }
    m_changed.notify_all();
}

bool ReportCollector::WaitForRequests(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

std::vector<CollectedRequest> ReportCollector::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ReportCollector::AcceptLoop() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) return;
        }
        pollfd p{m_listenFd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Serve(fd);
        close(fd);
    }
}

void ReportCollector::Serve(int fd) {
    std::string buffer;
    size_t headersEnd;
    while ((headersEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!ReadMore(fd, buffer)) return;
    }
    CollectedRequest request;
    const std::string head = buffer.substr(0, headersEnd);
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 + 1);
    request.method = requestLine.substr(0, space1);
    request.path = requestLine.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd != std::string::npos && lineEnd < head.size()) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t valueAt = colon + 1;
        while (valueAt < line.size() && line[valueAt] == ' ')
            ++valueAt;
        request.headers.emplace_back(line.substr(0, colon), line.substr(valueAt));
    }
    if (Lower(request.Header("Expect")) == "100-continue") SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
    const size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    request.body = buffer.substr(headersEnd + 4);
    while (request.body.size() < length) {
        if (!ReadMore(fd, request.body)) return;
    }
    request.body.resize(length);

    std::unique_lock lock(m_mutex);
    m_requests.push_back(std::move(request));
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return !m_holding || m_stopping; });
    lock.unlock();
    SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
}

}  // namespace testsupport
