#include "platform/process/Process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/fs/DriveMap.h"
#include "platform/fs/PathError.h"
#include "platform/process/CommandLine.h"
#include "platform/process/ProcessList.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

extern char** environ;

namespace platform {
namespace {

constexpr idtype_t kPidfdId = static_cast<idtype_t>(3);  // P_PIDFD

// Direct system calls: this C library's <sys/pidfd.h> cannot be used from C++.
int PidfdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}
int PidfdSendSignal(int pidfd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

// One process, shared by its handles (and by the reaper while it is our running child).
class ProcessRecord {
public:
    ProcessRecord(pid_t pid, int pidfd, bool child) : m_pid(pid), m_pidfd(pidfd), m_child(child) {}
    ~ProcessRecord() { ::close(m_pidfd); }

    pid_t Pid() const { return m_pid; }
    int Pidfd() const { return m_pidfd; }
    bool IsChild() const { return m_child; }

    bool HasEnded() const {
        pollfd p{m_pidfd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    bool WaitEnded(DWORD timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int wait = -1;
            if (timeoutMs != INFINITE) {
                const long long left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                        .count();
                wait = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
            }
            pollfd p{m_pidfd, POLLIN, 0};
            const int n = ::poll(&p, 1, wait);
            if (n > 0) {
                Collect();
                return true;
            }
            if (n < 0 && errno != EINTR) return false;
            if (n == 0 && wait < INT_MAX) return false;  // time is up (INFINITE never returns 0)
        }
    }

    // Reaps an ended child and keeps its exit code; true once collected.
    bool Collect() {
        if (!m_child) return false;
        std::lock_guard lock(m_mutex);
        if (m_collected) return true;
        siginfo_t info{};
        if (waitid(kPidfdId, static_cast<id_t>(m_pidfd), &info, WEXITED | WNOHANG) != 0) {
            if (errno != ECHILD) return false;
            m_collected = true;  // someone else reaped it (or SIGCHLD is ignored); the code is lost
            m_codeLost = true;
            return true;
        }
        if (info.si_pid == 0) return false;
        m_collected = true;
        if (info.si_code == CLD_EXITED) {
            m_exitCode = static_cast<DWORD>(info.si_status);
        } else if (m_terminateCode && info.si_status == SIGKILL) {
            m_exitCode = *m_terminateCode;
        } else {
            m_exitCode = 128 + static_cast<DWORD>(info.si_status);
        }
        return true;
    }

    // Null while not yet collected; once collected, null only when the code was lost.
    std::optional<DWORD> ExitCode(bool* collected) {
        *collected = Collect();
        if (!*collected) return std::nullopt;
        std::lock_guard lock(m_mutex);
        if (m_codeLost) return std::nullopt;
        return m_exitCode;
    }

    bool Kill(UINT exitCode) {
        {
            std::lock_guard lock(m_mutex);
            if (m_collected) return false;
            m_terminateCode = exitCode;
        }
        return PidfdSendSignal(m_pidfd, SIGKILL) == 0;
    }

private:
    const pid_t m_pid;
    const int m_pidfd;
    const bool m_child;
    std::mutex m_mutex;
    bool m_collected = false;
    bool m_codeLost = false;
    DWORD m_exitCode = 0;
    std::optional<DWORD> m_terminateCode;
};

class ProcessObject : public KernelObject {
public:
    enum class Kind { Process, Thread };
    ProcessObject(std::shared_ptr<ProcessRecord> record, DWORD access, Kind kind)
        : m_record(std::move(record)), m_access(access), m_kind(kind) {}
    bool WaitSignalled(DWORD timeoutMs) override { return m_record->WaitEnded(timeoutMs); }
    ProcessRecord& Record() const { return *m_record; }
    DWORD Access() const { return m_access; }
    bool IsProcess() const { return m_kind == Kind::Process; }

private:
    std::shared_ptr<ProcessRecord> m_record;
    DWORD m_access;
    Kind m_kind;
};

// Waits for every child we started and reaps it, so none stays a zombie.
class Reaper {
public:
    static Reaper& Instance() {
        static Reaper* reaper = new Reaper;  // its thread runs until the process ends
        return *reaper;
    }

    void Add(const std::shared_ptr<ProcessRecord>& record) {
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(record);
            m_children[record->Pid()] = record;
            if (!m_started) {
                std::thread([this] { Run(); }).detach();
                m_started = true;
            }
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
    }

    // A running child of ours with that pid, if any.
    std::shared_ptr<ProcessRecord> FindChild(pid_t pid) {
        std::lock_guard lock(m_mutex);
        const auto it = m_children.find(pid);
        if (it == m_children.end()) return nullptr;
        auto record = it->second.lock();
        return record && !record->HasEnded() ? record : nullptr;
    }

private:
    Reaper() : m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    void Run() {
        std::vector<std::shared_ptr<ProcessRecord>> watched;
        std::vector<pollfd> fds;
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                watched = m_pending;
            }
            fds.assign(1, pollfd{m_wake, POLLIN, 0});
            for (const auto& r : watched)
                fds.push_back(pollfd{r->Pidfd(), POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            uint64_t count;
            while (::read(m_wake, &count, sizeof count) > 0) {
            }
            for (size_t i = 0; i < watched.size(); ++i) {
                if (!(fds[i + 1].revents & POLLIN) || !watched[i]->Collect()) continue;
                std::lock_guard lock(m_mutex);
                std::erase(m_pending, watched[i]);
                m_children.erase(watched[i]->Pid());
            }
            watched.clear();
        }
    }

    std::mutex m_mutex;
    const int m_wake;
    bool m_started = false;
    std::vector<std::shared_ptr<ProcessRecord>> m_pending;
    std::unordered_map<pid_t, std::weak_ptr<ProcessRecord>> m_children;
};

std::shared_ptr<ProcessObject> LookupProcess(HANDLE handle, bool processOnly) {
    auto object = LookupKernelObjectAs<ProcessObject>(handle);
    if (!object || (processOnly && !object->IsProcess())) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

// A program that arrived without its execute bit (a download) gets it, where it may
// be read. Returns the mode it had when it was changed, to restore when the start fails.
std::optional<mode_t> EnsureExecutable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IXUSR)) return std::nullopt;
    const mode_t before = st.st_mode & 07777;
    mode_t mode = before | S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    if (::chmod(path.c_str(), mode) != 0) return std::nullopt;
    return before;
}

// Opens a pidfd for a child just started and hands it to the reaper.
std::shared_ptr<ProcessRecord> TrackChild(pid_t pid) {
    const int fd = PidfdOpen(pid);
    if (fd < 0) {
        // Without a pidfd the child cannot be tracked safely; it must not run untracked.
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return nullptr;
    }
    auto record = std::make_shared<ProcessRecord>(pid, fd, true);
    Reaper::Instance().Add(record);
    return record;
}

}  // namespace

int SpawnChild(const std::string& program, bool searchPath, const std::vector<std::string>& args,
               const posix_spawn_file_actions_t* actions, pid_t* pid) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = searchPath ? posix_spawnp(pid, program.c_str(), actions, &attr, argv.data(), environ)
                                 : posix_spawn(pid, program.c_str(), actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return error;
}

int SpawnDetached(const std::string& program, const std::vector<std::string>& args) {
    pid_t pid = 0;
    const bool searchPath = program.find('/') == std::string::npos;
    if (const int error = SpawnChild(program, searchPath, args, nullptr, &pid)) return error;
    return TrackChild(pid) ? 0 : ECHILD;
}

}  // namespace platform

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL, DWORD,
                    LPVOID environment, LPCWSTR currentDirectory, STARTUPINFOW*,
                    PROCESS_INFORMATION* processInformation) {
    if (environment) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::wstring> wideArgs = platform::SplitCommandLine(commandLine ? commandLine : L"");
    std::string program;
    bool searchPath = false;
    if (application) {
        const auto host = platform::HostPathOrFail(application);
        if (!host) return FALSE;
        program = *host;
        if (wideArgs.empty()) wideArgs.push_back(application);
    } else {
        if (wideArgs.empty()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const std::wstring& first = wideArgs.front();
        if (first.find_first_of(L"\\/:") == std::wstring::npos) {
            program = platform::HostNameFromWide(first);
            searchPath = true;
        } else {
            const auto host = platform::HostPathOrFail(first.c_str());
            if (!host) return FALSE;
            program = *host;
        }
    }
    std::optional<std::string> directory;
    if (currentDirectory) {
        directory = platform::HostPathOrFail(currentDirectory);
        if (!directory) return FALSE;
    }
    const std::optional<mode_t> modeBefore = searchPath ? std::nullopt : platform::EnsureExecutable(program);

    std::vector<std::string> args;
    for (const auto& a : wideArgs)
        args.push_back(platform::Utf8FromWide(a));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (directory) posix_spawn_file_actions_addchdir_np(&actions, directory->c_str());
    pid_t pid = 0;
    const int error = platform::SpawnChild(program, searchPath, args, &actions, &pid);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        if (modeBefore) ::chmod(program.c_str(), *modeBefore);
        if (searchPath) {
            SetLastErrorFromErrno(error);
        } else {
            platform::SetLastErrorForPath(error, program);
        }
        return FALSE;
    }
    const auto record = platform::TrackChild(pid);
    if (!record) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return FALSE;
    }
    using Kind = platform::ProcessObject::Kind;
    HANDLE process = platform::RegisterKernelObject(
        std::make_shared<platform::ProcessObject>(record, PROCESS_ALL_ACCESS, Kind::Process));
    HANDLE thread = platform::RegisterKernelObject(
        std::make_shared<platform::ProcessObject>(record, PROCESS_ALL_ACCESS, Kind::Thread));
    if (processInformation) {
        processInformation->hProcess = process;
        processInformation->hThread = thread;
        processInformation->dwProcessId = static_cast<DWORD>(pid);
        processInformation->dwThreadId = static_cast<DWORD>(pid);
    } else {
        CloseHandle(process);
        CloseHandle(thread);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HANDLE OpenProcess(DWORD desiredAccess, BOOL, DWORD processId) {
    const auto pid = static_cast<pid_t>(processId);
    if (pid <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<platform::ProcessRecord> record = platform::Reaper::Instance().FindChild(pid);
    if (!record) {
        const int fd = platform::PidfdOpen(pid);
        if (fd < 0) {
            SetLastError(errno == ESRCH ? ERROR_INVALID_PARAMETER : WinErrorFromErrno(errno));
            return nullptr;
        }
        record = std::make_shared<platform::ProcessRecord>(pid, fd, false);
    }
    if ((desiredAccess & PROCESS_TERMINATE) && ::kill(pid, 0) != 0 && errno == EPERM) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if ((desiredAccess & (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)) && !platform::ProcessImageHostPath(processId)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return platform::RegisterKernelObject(std::make_shared<platform::ProcessObject>(
        std::move(record), desiredAccess, platform::ProcessObject::Kind::Process));
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
    const auto p = platform::LookupProcess(process, true);
    if (!p) return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::ProcessRecord& r = p->Record();
    if (!r.HasEnded()) {
        *exitCode = platform::kStillActive;
        return TRUE;
    }
    if (r.IsChild()) {
        // Ended, so the reap cannot block; retry briefly in case another thread is mid-collect.
        for (int i = 0; i < 100; ++i) {
            bool collected = false;
            if (const auto code = r.ExitCode(&collected)) {
                *exitCode = *code;
                return TRUE;
            }
            if (collected) break;  // reaped elsewhere: no code to report, and 0 would read as success
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    const auto p = platform::LookupProcess(process, true);
    if (!p) return FALSE;
    if (!(p->Access() & PROCESS_TERMINATE) || p->Record().HasEnded() || !p->Record().Kill(exitCode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

DWORD GetProcessId(HANDLE process) {
    const auto p = platform::LookupProcess(process, true);
    return p ? static_cast<DWORD>(p->Record().Pid()) : 0;
}

DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR fileName, DWORD size) {
    const auto p = platform::LookupProcess(process, true);
    if (!p) return 0;
    if (module || !fileName || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!(p->Access() & (PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const auto host = platform::ProcessImageHostPath(static_cast<DWORD>(p->Record().Pid()));
    // Checked after reading: a process still running then is the one the pid named.
    if (!host || p->Record().HasEnded()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const std::wstring win = platform::WinPath(*host);
    const size_t copied = std::min<size_t>(win.size(), size - 1);
    win.copy(fileName, copied);
    fileName[copied] = L'\0';
    return static_cast<DWORD>(copied);
}
