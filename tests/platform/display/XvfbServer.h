// A private X server for one test: Xvfb picks a free display number itself
// (-displayfd) and is stopped when the object goes. Unavailable (Running()
// false) when Xvfb is not installed or does not come up within ten seconds.
// Two servers starting at once can pick the same number, and the loser exits:
// a server that ends before naming its display is started again.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace displaytest {

inline bool XvfbInstalled() {
    return access("/usr/bin/Xvfb", X_OK) == 0;
}

class XvfbServer {
public:
    XvfbServer() {
        if (!XvfbInstalled()) return;
        for (int attempt = 0; attempt < 5 && !Running(); ++attempt) {
            if (!Start()) break;
            if (!Running() && m_pid > 0) {
                kill(m_pid, SIGTERM);
                waitpid(m_pid, nullptr, 0);
                m_pid = 0;
            }
        }
    }
    ~XvfbServer() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !m_name.empty(); }
    const std::string& Name() const { return m_name; }

private:
    // False when Xvfb cannot be spawned at all; otherwise Running() tells whether it came up.
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", fd,   "-screen", "0",
                                         "800x600x24",    "-nolisten",  "tcp"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            m_pid = 0;
            close(fds[0]);
            return false;
        }
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1) break;
            if (c == '\n') {
                m_name = ":" + number;
                break;
            }
            number += c;
        }
        close(fds[0]);
        return true;
    }

    pid_t m_pid = 0;
    std::string m_name;
};

}  // namespace displaytest
