// A raw TCP server on 127.0.0.1 for the faults a real HTTP server will not produce: it
// reads each request's header block, then follows its script on that connection.
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
    enum class Mode {
        NeverAnswer,      // hold the connection open and send nothing
        CloseAfterBytes,  // send the first `bytes` of the response, then close
        Drip,             // send the response `bytes` at a time, one piece per `interval`
    };
    struct Script {
        Mode mode = Mode::NeverAnswer;
        std::string response;
        std::size_t bytes = 0;
        std::chrono::milliseconds interval{0};
    };

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
