// A private X server for one test: Xvfb picks a free display number itself
// (-displayfd) and is stopped when the object goes. Unavailable (Running()
// false) when Xvfb is not installed or does not come up within ten seconds; a
// server that ends before naming its display is started again.
//
// The server never holds the test's output (its standard streams are /dev/null
// and it inherits no other descriptor), and it ends with the thread that made
// it, however the test ends: a test that crashes or dies of an X I/O error is
// seen to fail at once instead of keeping ctest waiting for its output. A test
// still running after the limit given (a call waiting on the server, an event
// that never comes) is ended with a message on standard error.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace displaytest {

inline bool XvfbInstalled() {
    return access("/usr/bin/Xvfb", X_OK) == 0;
}

class XvfbServer {
public:
    // Well below ctest's time-out, well above any display test.
    static constexpr std::chrono::seconds kDefaultLimit{150};

    XvfbServer() : XvfbServer(kDefaultLimit) {}
    explicit XvfbServer(std::chrono::seconds limit) {
        if (!XvfbInstalled()) return;
        for (int attempt = 0; attempt < 5 && !Running(); ++attempt) {
            if (!Start()) break;
            if (!Running()) Stop();
        }
        if (Running()) m_watchdog = std::thread([this, limit] { Watch(limit); });
    }
    ~XvfbServer() {
        if (m_watchdog.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                m_done = true;
            }
            m_wake.notify_all();
            m_watchdog.join();
        }
        Stop();
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !m_name.empty(); }
    const std::string& Name() const { return m_name; }
    pid_t ProcessId() const { return m_pid; }

private:
    static constexpr int kDisplayFd = 3;

    // False when Xvfb cannot be started at all; otherwise Running() tells whether it came up.
    bool Start() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(kDisplayFd),
                                         "-screen",       "0",          "800x600x24",
                                         "-nolisten",     "tcp"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = getpid();
        m_pid = devNull >= 0 ? fork() : -1;
        if (m_pid == 0) {
            // The child of a threaded process: nothing but system calls until exec.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (fds[1] == kDisplayFd) {
                fcntl(kDisplayFd, F_SETFD, 0);
            } else {
                dup2(fds[1], kDisplayFd);
            }
            syscall(SYS_close_range, kDisplayFd + 1, ~0U, 0);
            execve(argv[0], argv.data(), environ);
            _exit(127);
        }
        if (devNull >= 0) close(devNull);
        close(fds[1]);
        if (m_pid < 0) {
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

    // Asks the server to end, and makes it when it does not within a few seconds.
    void Stop() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = 0;
    }

    void Watch(std::chrono::seconds limit) {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, limit, [this] { return m_done; })) return;
        std::fprintf(stderr,
                     "XvfbServer: the test is still running after %lld s on display %s; ending it (a call waiting "
                     "on the X server, or an event that never came?)\n",
                     static_cast<long long>(limit.count()), m_name.c_str());
        std::fflush(stderr);
        _exit(124);
    }

    pid_t m_pid = 0;
    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_watchdog;
};

}  // namespace displaytest
