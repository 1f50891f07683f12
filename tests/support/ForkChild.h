// Runs a test step in a forked child process, for behaviour that must be seen
// from another process or must survive a process dying mid-way.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace testsupport {

// Runs `body` in a child and returns its exit status (128 + signal when killed).
template <typename F>
int InChild(F body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `work(L"parent")` here and `work(L"child")` in a forked child at the same moment, for
// two processes sharing a file. Each returns its failure count; the pair of them comes back
// (the child's capped at 100; -1 when it could not run).
template <typename F>
std::pair<int, int> InParentAndChildAtOnce(F work) {
    int go[2];
    if (pipe(go) != 0) return {-1, -1};
    const pid_t child = fork();
    if (child == 0) {
        char start = 0;
        _exit(read(go[0], &start, 1) == 1 ? std::min(work(L"child"), 100) : 101);
    }
    const bool started = child > 0 && write(go[1], "x", 1) == 1;
    const int parent = work(L"parent");
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    close(go[0]);
    close(go[1]);
    return {parent, started && WIFEXITED(status) && WEXITSTATUS(status) <= 100 ? WEXITSTATUS(status) : -1};
}

}  // namespace testsupport
