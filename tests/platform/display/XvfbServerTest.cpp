// The private X server of the display tests must never outlive its test or keep the
// test's output open: a test that dies (a crash, an X I/O error) or hangs must fail at
// once, with a message, instead of holding ctest until its time-out.
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

// What a forked test process printed and how it ended, read until its output closes.
struct Ended {
    bool outputClosed = false;
    std::string output;
    int status = -1;
};

// Runs `body` in a child whose standard output and error are a pipe; waits at most
// `limit` for the pipe to close (every holder of it gone), then reaps the child.
template <class Body>
Ended RunChild(Body body, std::chrono::seconds limit) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        body();
        _exit(0);
    }
    close(fds[1]);
    Ended ended;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[512];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            ended.outputClosed = true;
            break;
        }
        ended.output.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (!ended.outputClosed) kill(child, SIGKILL);
    waitpid(child, &ended.status, 0);
    return ended;
}

bool Alive(pid_t pid) {
    return pid > 0 && kill(pid, 0) == 0;
}

}  // namespace

TEST(XvfbServerTest, ATestThatDiesTakesItsServerAlongAndLeavesItsOutputClosed) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    int pidPipe[2];
    ASSERT_EQ(pipe(pidPipe), 0);
    const Ended ended = RunChild(
        [&] {
            displaytest::XvfbServer server;
            const pid_t pid = server.Running() ? server.ProcessId() : 0;
            if (write(pidPipe[1], &pid, sizeof pid) != sizeof pid) _exit(3);
            _exit(1);  // as a crash ends a test: no destructor runs
        },
        std::chrono::seconds(20));
    close(pidPipe[1]);
    pid_t server = 0;
    ASSERT_EQ(read(pidPipe[0], &server, sizeof server), static_cast<ssize_t>(sizeof server));
    close(pidPipe[0]);
    ASSERT_GT(server, 0) << "Xvfb did not start";
    EXPECT_TRUE(ended.outputClosed) << "the server kept the dead test's output open";
    ASSERT_TRUE(WIFEXITED(ended.status));
    EXPECT_EQ(WEXITSTATUS(ended.status), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Alive(server) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(Alive(server)) << "the server outlived its test";
}

TEST(XvfbServerTest, AStuckTestEndsWithAMessageBeforeItsTimeOut) {
    if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    const Ended ended = RunChild(
        [] {
            displaytest::XvfbServer server(std::chrono::seconds(1));
            if (!server.Running()) _exit(3);
            // Stuck as a call that waits on the server forever would be.
            std::this_thread::sleep_for(std::chrono::seconds(60));
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(ended.outputClosed) << "the stuck test was not ended";
    ASSERT_TRUE(WIFEXITED(ended.status)) << ended.output;
    EXPECT_NE(WEXITSTATUS(ended.status), 0);
    EXPECT_NE(WEXITSTATUS(ended.status), 3) << "Xvfb did not start";
    EXPECT_NE(ended.output.find("still running"), std::string::npos) << ended.output;
}
