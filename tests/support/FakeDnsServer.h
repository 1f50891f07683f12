// A DNS resolver stand-in on 127.0.0.1 (UDP, a port the system picks) that answers every
// A query with fixed addresses. It runs on its own thread until destroyed.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FakeDnsServer {
public:
    explicit FakeDnsServer(std::vector<std::string> addresses);
    ~FakeDnsServer();
    FakeDnsServer(const FakeDnsServer&) = delete;
    FakeDnsServer& operator=(const FakeDnsServer&) = delete;

    bool Start();
    int Port() const { return m_port; }
    int Queries() const { return m_queries.load(); }

private:
    void Loop();

    std::vector<std::string> m_addresses;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_queries{0};
    std::thread m_thread;
};

}  // namespace testsupport
