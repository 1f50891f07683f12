#include "support/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace testsupport {

namespace {

std::string Head(const std::string& status, const std::string& headers, size_t contentLength) {
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

std::string Reply(const std::string& status, const std::string& headers = "", const std::string& body = "") {
    return Head(status, headers, body.size()) + body;
}

}  // namespace

std::string CollectedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
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
    for (size_t pos = body.find(delimiter); pos != std::string::npos;) {
        pos += delimiter.size();
        if (body.compare(pos, 2, "--") == 0) return parts;
        const size_t headersEnd = body.find("\r\n\r\n", pos);
        if (body.compare(pos, 2, "\r\n") != 0 || headersEnd == std::string::npos) return {};
        const size_t next = body.find("\r\n" + delimiter, headersEnd + 4);
        if (next == std::string::npos) return {};
        const std::string partHeaders = body.substr(pos, headersEnd - pos);
        const size_t nameAt = partHeaders.find("name=\"");
        FormPart& part = parts.emplace_back();
        if (nameAt != std::string::npos) {
            part.name = partHeaders.substr(nameAt + 6, partHeaders.find('"', nameAt + 6) - nameAt - 6);
        }
        part.value = body.substr(headersEnd + 4, next - headersEnd - 4);
        pos = next + 2;
    }
    return {};
}

ScriptedHttpServer::ScriptedHttpServer(const std::string& address) : m_address(address) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    socklen_t length = sizeof addr;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 64) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return;
    }
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
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

std::string ScriptedHttpServer::Url(const std::string& path) const {
    return "http://" + m_address + ":" + std::to_string(m_port) + path;
}

void ScriptedHttpServer::Serve(const std::string& path, std::string body) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(body);
}

void ScriptedHttpServer::SetFault(Fault fault, int times, int status) {
    std::lock_guard lock(m_mutex);
    m_fault = fault;
    m_faultTimes = times;
    m_status = status;
}

void ScriptedHttpServer::Hold() {
    std::lock_guard lock(m_mutex);
    m_holding = true;
}

void ScriptedHttpServer::Release() {
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
    }
    m_released.notify_all();
}

std::vector<CollectedRequest> ScriptedHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedHttpServer::AcceptLoop() {
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

void ScriptedHttpServer::FailAfter(Outage outage, std::uint64_t bodyBytes) {
    std::lock_guard lock(m_mutex);
    m_outage = outage;
    m_outageLeft = bodyBytes;
}

std::optional<ScriptedHttpServer::TimePoint> ScriptedHttpServer::OutageTime() const {
    std::lock_guard lock(m_mutex);
    return m_outageTime;
}

std::optional<ScriptedHttpServer::TimePoint> ScriptedHttpServer::FirstBodyByteTime() const {
    std::lock_guard lock(m_mutex);
    return m_firstBodyByte;
}

size_t ScriptedHttpServer::OutageAllowance(size_t wanted) {
    std::lock_guard lock(m_mutex);
    if (!m_outage) return wanted;
    // Small pieces, so that no connection is still sending a large one when the others stop.
    constexpr std::uint64_t kPiece = 64 * 1024;
    const size_t allowed = static_cast<size_t>(std::min<std::uint64_t>({wanted, m_outageLeft, kPiece}));
    m_outageLeft -= allowed;
    return allowed;
}

void ScriptedHttpServer::BeginOutage() {
    std::lock_guard lock(m_mutex);
    if (!m_outage || m_outageLeft > 0 || m_outageTime) return;
    m_outageTime = std::chrono::steady_clock::now();
    if (*m_outage != Outage::Die) return;
    // As when the process is killed: the kernel closes every socket.
    if (m_listenFd >= 0) ::shutdown(m_listenFd, SHUT_RDWR);
    for (int fd : m_clients)
        ::shutdown(fd, SHUT_RDWR);
}

void ScriptedHttpServer::WaitFrozen() {
    std::unique_lock lock(m_mutex);
    if (m_outage == Outage::Freeze) m_released.wait(lock, [&] { return m_stopping.load(); });
}

bool ScriptedHttpServer::SendAll(int fd, const std::string& data, bool throttle, size_t length) {
    length = std::min(length, data.size());
    const auto start = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < length && !m_stopping) {
        size_t chunk = length - sent;
        const std::uint64_t rate = throttle ? m_rate.load() : 0;
        if (rate > 0) {
            chunk = std::min<size_t>(chunk, std::max<std::uint64_t>(rate / 20, 1));
            std::this_thread::sleep_until(start + std::chrono::microseconds(sent * 1'000'000 / rate));
        }
        if (throttle && (chunk = OutageAllowance(chunk)) == 0) {
            WaitFrozen();
            return false;
        }
        for (const size_t end = sent + chunk; sent < end;) {
            const ssize_t n = ::send(fd, data.data() + sent, end - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
            if (!throttle) continue;
            if (m_bodyBytes.fetch_add(static_cast<std::uint64_t>(n)) == 0) {
                std::lock_guard lock(m_mutex);
                if (!m_firstBodyByte) m_firstBodyByte = std::chrono::steady_clock::now();
            }
        }
        if (throttle) BeginOutage();
    }
    return sent == length;
}

void ScriptedHttpServer::ServeConnection(int fd) {
    std::string buffer;
    char chunk[8192];
    auto readMore = [&] {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) buffer.append(chunk, static_cast<size_t>(n));
        return n > 0;
    };
    for (bool open = true; open && !m_stopping;) {
        size_t headerEnd;
        while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos && (open = readMore())) {
        }
        if (!open) break;
        CollectedRequest request;
        const std::string head = buffer.substr(0, headerEnd);
        buffer.erase(0, headerEnd + 4);
        const size_t space1 = head.find(' '), space2 = head.find(' ', space1 + 1);
        request.method = head.substr(0, space1);
        request.path = head.substr(space1 + 1, space2 - space1 - 1);
        for (size_t pos = head.find("\r\n"); pos != std::string::npos; pos = head.find("\r\n", pos + 2)) {
            const std::string line = head.substr(pos + 2, head.find("\r\n", pos + 2) - pos - 2);
            const size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            const size_t valueAt = std::min(line.find_first_not_of(' ', colon + 1), line.size());
            request.headers.emplace_back(line.substr(0, colon), line.substr(valueAt));
        }
        if (strcasecmp(request.Header("Expect").c_str(), "100-continue") == 0)
            SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
        const size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
        while (buffer.size() < length && open)
            open = readMore();
        if (!open) break;
        request.body = buffer.substr(0, length);
        buffer.erase(0, length);

        const std::string path = request.path, range = request.Header("Range");
        const bool post = request.method == "POST";
        std::unique_lock lock(m_mutex);
        m_requests.push_back(std::move(request));
        if (!post) {
            lock.unlock();
            open = ServeGet(fd, path, range);
            continue;
        }
        m_released.wait(lock, [&] { return !m_holding || m_stopping; });
        lock.unlock();
        SendAll(fd, Reply("200 OK", "Connection: close\r\n", "ok"));
        break;
    }
    {
        std::lock_guard lock(m_mutex);
        m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), fd), m_clients.end());
    }
    ::close(fd);
}

bool ScriptedHttpServer::ServeGet(int fd, const std::string& path, const std::string& range) {
    std::string body;
    bool found;
    Fault fault;
    int status;
    bool outage;
    {
        std::lock_guard lock(m_mutex);
        outage = m_outage && m_outageLeft == 0;
        auto it = m_files.find(path);
        found = it != m_files.end();
        if (found) body = it->second;
        fault = m_faultTimes != 0 ? m_fault : Fault::None;
        if (m_faultTimes > 0) --m_faultTimes;
        status = m_status;
    }
    if (outage) {
        WaitFrozen();
        return false;
    }
    if (!found || fault == Fault::Status) return SendAll(fd, Reply(std::to_string(found ? status : 404) + " Scripted"));

    std::uint64_t first = 0, last = body.empty() ? 0 : body.size() - 1;
    const bool ranged = range.rfind("bytes=", 0) == 0 && fault != Fault::IgnoreRange;
    if (ranged) {
        const size_t dash = range.find('-');
        first = std::stoull(range.substr(6, dash - 6));
        if (dash + 1 < range.size()) last = std::min<std::uint64_t>(std::stoull(range.substr(dash + 1)), last);
        if (first > last || first >= body.size()) {
            return SendAll(fd, Reply("416 Range Not Satisfiable",
                                     "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n"));
        }
    }
    std::string payload = body.substr(first, last - first + 1);
    std::string headers = "Accept-Ranges: bytes\r\n";
    if (ranged) {
        headers += "Content-Range: bytes " + std::to_string(first + (fault == Fault::WrongRangeStart)) + "-" +
                   std::to_string(last) + "/" + std::to_string(body.size() + (fault == Fault::WrongTotal)) + "\r\n";
    }
    if (fault == Fault::OverlongBody) payload.append(payload.size() / 2 + 1, 'x');
    if (!SendAll(fd, Head(ranged ? "206 Partial Content" : "200 OK", headers, payload.size()))) return false;
    if (fault == Fault::StallMidBody && !SendAll(fd, payload, true, payload.size() / 2)) return false;
    if (fault == Fault::Stall || fault == Fault::StallMidBody) {
        char ignored;
        while (!m_stopping && ::recv(fd, &ignored, 1, MSG_DONTWAIT) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return false;
    }
    if (fault == Fault::ShortBody || fault == Fault::ResetMidBody) {
        SendAll(fd, payload, true, payload.size() / 2);
        if (fault == Fault::ResetMidBody) {
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        return false;
    }
    return SendAll(fd, payload, true);
}

}  // namespace testsupport
