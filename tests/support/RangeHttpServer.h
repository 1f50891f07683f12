// A scripted HTTP/1.1 server on a loopback address for download tests: serves byte
// ranges of in-memory files and misbehaves on request (ignores ranges, lies in its
// headers, cuts or pads bodies, resets connections, drips slowly, answers an error).
//
// Any thread may script it and read its counters; each connection is served on a thread
// of its own. The destructor stops listening, cuts live connections and joins.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class RangeHttpServer {
public:
    enum class Fault {
        None,
        IgnoreRange,      // 200 with the whole file
        WrongRangeStart,  // 206 whose Content-Range starts one byte late
        WrongTotal,       // 206 whose Content-Range names another file size
        ShortBody,        // headers promise the range, the connection closes half-way
        OverlongBody,     // Content-Length and body one block too long
        ResetMidBody,     // half the body, then a TCP reset
        Stall,            // headers, then silence until the client gives up
        Status,           // answers the scripted status code with an empty body
    };

    explicit RangeHttpServer(const std::string& address = "127.0.0.1");
    ~RangeHttpServer();
    RangeHttpServer(const RangeHttpServer&) = delete;
    RangeHttpServer& operator=(const RangeHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;

    void Serve(const std::string& path, std::string body);
    // Answers requests for `path` with a 302 to `location`.
    void Redirect(const std::string& path, const std::string& location);
    // Applies to the next `times` requests (negative: all of them).
    void SetFault(Fault fault, int times = -1, int status = 503);
    // Body bytes per second per connection; 0 for as fast as possible.
    void SetRate(std::uint64_t bytesPerSecond) { m_rate = bytesPerSecond; }

    int Requests() const { return m_requests; }
    std::uint64_t BodyBytesSent() const { return m_bodyBytes; }
    std::vector<std::string> RangeHeaders() const;

private:
    void AcceptLoop();
    void ServeConnection(int fd);
    bool SendAll(int fd, const char* data, size_t length, bool throttle);

    int m_listenFd = -1;
    int m_port = 0;
    std::string m_address;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_files;
    std::map<std::string, std::string> m_redirects;
    Fault m_fault = Fault::None;
    int m_faultTimes = 0;
    int m_status = 503;
    std::vector<std::string> m_ranges;
    std::vector<int> m_clients;
    std::vector<std::thread> m_threads;

    std::atomic<std::uint64_t> m_rate{0};
    std::atomic<int> m_requests{0};
    std::atomic<std::uint64_t> m_bodyBytes{0};
};

}  // namespace testsupport
