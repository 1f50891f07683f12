// A scripted HTTP/1.1 server on a loopback address for the download and report tests.
// GET serves byte ranges of in-memory files and misbehaves on request (ignores ranges,
// lies in its headers, cuts or pads bodies, resets connections, stalls, answers an error).
// POST is recorded byte for byte and answered 200 "ok", or, while holding, kept waiting
// until Release, so a test can see what arrives during a request under way. The whole
// server can freeze or die once it has sent a set number of body bytes.
//
// Any thread may script it and read what it recorded; each connection is served on a
// thread of its own. The destructor stops listening, cuts live connections and joins.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct CollectedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    std::string body;

    // The value of the first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
};

struct FormPart {
    std::string name;
    std::string value;
};

// The parts of a multipart/form-data body, in order; empty when the body is malformed.
std::vector<FormPart> ParseMultipartForm(const CollectedRequest& request);

class ScriptedHttpServer {
public:
    enum class Fault {
        None,
        IgnoreRange,      // 200 with the whole file
        WrongRangeStart,  // 206 whose Content-Range starts one byte late
        WrongTotal,       // 206 whose Content-Range names another file size
        ShortBody,        // headers promise the range, the connection closes half-way
        OverlongBody,     // Content-Length and body too long
        ResetMidBody,     // half the body, then a TCP reset
        Stall,            // headers, then silence until the client gives up
        StallMidBody,     // half the body, then silence until the client gives up
        Status,           // answers the scripted status code with an empty body
    };

    explicit ScriptedHttpServer(const std::string& address = "127.0.0.1");
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;

    void Serve(const std::string& path, std::string body);
    // Applies to the next `times` GET requests (negative: all of them).
    void SetFault(Fault fault, int times = -1, int status = 503);
    // Body bytes per second per connection; 0 for as fast as possible.
    void SetRate(std::uint64_t bytesPerSecond) { m_rate = bytesPerSecond; }
    // While held, answers to POST wait until Release.
    void Hold();
    void Release();

    enum class Outage {
        Freeze,  // every connection stays open and silent; new requests are read, never answered
        Die,     // every connection closes and nothing listens: new connections are refused
    };
    // The outage begins once `bodyBytes` body bytes have gone out, all connections together.
    void FailAfter(Outage outage, std::uint64_t bodyBytes);
    using TimePoint = std::chrono::steady_clock::time_point;
    // When the outage began; nothing before.
    std::optional<TimePoint> OutageTime() const;
    // When the first body byte went out; nothing before.
    std::optional<TimePoint> FirstBodyByteTime() const;

    std::vector<CollectedRequest> Requests() const;
    std::uint64_t BodyBytesSent() const { return m_bodyBytes; }

private:
    void AcceptLoop();
    void ServeConnection(int fd);
    // Answers one GET; false when the connection is to be closed.
    bool ServeGet(int fd, const std::string& path, const std::string& range);
    // Sends the first `length` bytes of `data`; a throttled body goes at the scripted rate.
    bool SendAll(int fd, const std::string& data, bool throttle = false, size_t length = std::string::npos);
    // How much of `wanted` body bytes may still go out before the outage; 0 once it has begun.
    size_t OutageAllowance(size_t wanted);
    // Called once the allowance is used up: freezes or kills the server.
    void BeginOutage();
    // A frozen server's connection waits here until the server is destroyed.
    void WaitFrozen();

    int m_listenFd = -1;
    int m_port = 0;
    std::string m_address;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::map<std::string, std::string> m_files;
    Fault m_fault = Fault::None;
    int m_faultTimes = 0;
    int m_status = 503;
    bool m_holding = false;
    std::optional<Outage> m_outage;
    std::uint64_t m_outageLeft = 0;  // body bytes still to send before the outage
    std::optional<TimePoint> m_outageTime;
    std::optional<TimePoint> m_firstBodyByte;
    std::vector<CollectedRequest> m_requests;
    std::vector<int> m_clients;
    std::vector<std::thread> m_threads;

    std::atomic<std::uint64_t> m_rate{0};
    std::atomic<std::uint64_t> m_bodyBytes{0};
};

}  // namespace testsupport
