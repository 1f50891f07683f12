// A loopback HTTP collector for the report tests: it accepts on 127.0.0.1 (an ephemeral
// port), records every request byte for byte and answers 200 "ok", or, while holding,
// keeps each answer back until Release, so a test can see what arrives during a request
// under way.
//
// The server runs on its own thread; every public method may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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

class ReportCollector {
public:
    ReportCollector();
    ~ReportCollector();
    ReportCollector(const ReportCollector&) = delete;
    ReportCollector& operator=(const ReportCollector&) = delete;

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port><path>"
    std::string Url(const std::string& path = "/") const;

    // While held, answers wait until Release.
    void Hold();
    void Release();

    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<CollectedRequest> Requests() const;

private:
    void AcceptLoop();
    void Serve(int fd);

    int m_listenFd = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<CollectedRequest> m_requests;
    bool m_holding = false;
    bool m_stopping = false;
};

}  // namespace testsupport
