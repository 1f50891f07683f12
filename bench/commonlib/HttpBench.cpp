// Small GETs through one engine against a loopback server, beside curl's own parallel
// mode on the same URLs: requests per second and CPU time of each.
//
//   HttpBench <base-url> [count]      (bench/run_http.sh starts a loopback nginx for it)
//
// Both sides keep at most 10 transfers running; the engine's requests all queue at once,
// so its scheduler's waiting list is part of what is measured.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "commonlib/http/HttpCommand.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/StringUtils.h"
#include "platform/window/MessageApi.h"

extern char** environ;

namespace {

struct Tally {
    int done = 0;
    int failed = 0;
    int expected = 0;
};

void OnDone(void* user, const std::string&, int type, int code) {
    auto* tally = static_cast<Tally*>(user);
    ++tally->done;
    if (type != 0 && tally->failed++ == 0) std::fprintf(stderr, "first failure: et:%d ec:%d\n", type, code);
    if (tally->done == tally->expected) PostQuitMessage(0);
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

void Report(const char* who, int count, int failed, double wall, double cpu) {
    std::printf("%-8s requests=%d failed=%d seconds=%.3f req/s=%.0f cpu=%.3fs cpu/req=%.1fus\n", who, count, failed,
                wall, count / wall, cpu, cpu * 1e6 / count);
}

std::string UrlFor(const std::string& base, int i) {
    return base + "?i=" + std::to_string(i);
}

bool RunEngine(const std::string& base, int count) {
    if (!CreateMainThreadWindow() || !InitHttpCommandMgr()) return false;
    Tally tally;
    tally.expected = count;
    std::vector<std::unique_ptr<CHttpCommand>> commands;
    commands.reserve(count);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        commands.push_back(std::make_unique<CHttpCommand>());
        if (!commands.back()->Get(Utf8ToWide(UrlFor(base, i)), &OnDone, &tally, HttpErrorReporting::Off, L"", L""))
            return false;
    }
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double cpu =
        Seconds(after.ru_utime) - Seconds(before.ru_utime) + Seconds(after.ru_stime) - Seconds(before.ru_stime);
    Report("engine", count, tally.failed, wall, cpu);
    commands.clear();
    UninitHttpCommandMgr();
    ShutdownMainThreadQueue();
    return tally.failed == 0;
}

bool RunCurl(const std::string& base, int count) {
    char configPath[] = "/tmp/xj-http-bench-XXXXXX";
    const int fd = mkstemp(configPath);
    if (fd < 0) return false;
    close(fd);
    {
        std::ofstream config(configPath);
        for (int i = 0; i < count; ++i)
            config << "url = \"" << UrlFor(base, i) << "\"\noutput = \"/dev/null\"\n";
    }
    const char* argv[] = {"curl",      "--silent", "--fail", "--parallel", "--parallel-max", "10",
                          "--noproxy", "*",        "-K",     configPath,   nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    // Its parallel progress meter would hide our report; the exit status tells failures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid, "curl", &quiet, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    unlink(configPath);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    Report("curl", count, ok ? 0 : -1, wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <base-url> [count]\n", argv[0]);
        return 2;
    }
    const std::string base = argv[1];
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
    const bool engineOk = RunEngine(base, count);
    const bool curlOk = RunCurl(base, count);
    return engineOk && curlOk ? 0 : 1;
}
