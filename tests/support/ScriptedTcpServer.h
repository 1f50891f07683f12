// A raw TCP server on 127.0.0.1 for the faults a real HTTP server will not produce: it
// reads each request's header block, then sends `response` `piece` bytes at a time (0: all
// at once), one piece per `interval`, and closes; with no response it never answers.
//
// The server runs on its own threads; the destructor closes every connection and joins them.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ScriptedTcpServer {
public:
    struct Script {
        std::string response;
        std::size_t piece = 0;
        std::chrono::milliseconds interval{0};
    };

    ScriptedTcpServer() : ScriptedTcpServer(Script{}) {}  // never answers
    explicit ScriptedTcpServer(Script script);
    ~ScriptedTcpServer();
    ScriptedTcpServer(const ScriptedTcpServer&) = delete;
    ScriptedTcpServer& operator=(const ScriptedTcpServer&) = delete;

    bool Start();
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;
    // Connections accepted so far.
    int Connections() const { return m_connections.load(); }

private:
    void AcceptLoop();
    void Serve(int socket);

    Script m_script;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::vector<std::thread> m_workers;
};

// A port on 127.0.0.1 where nothing listens (bound once, then closed).
int UnusedLoopbackPort();

}  // namespace testsupport
