// Runs a test step in a forked child process, for behaviour that must be seen
// from another process or must survive a process dying mid-way.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace testsupport
