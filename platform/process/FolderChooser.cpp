#include "platform/process/FolderChooser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/fs/DriveMap.h"
#include "platform/process/Process.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

std::optional<std::string> FindOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            std::string candidate = std::string(dir) + "/" + std::string(name);
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

// The host directory to open at: the folder itself or its nearest existing parent.
std::string StartDirectory(const std::wstring& folder) {
    const std::optional<std::string> host = HostPath(folder);
    if (!host) return {};
    std::string dir = *host;
    struct stat st {};
    while (!(::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        const size_t slash = dir.rfind('/');
        if (slash == std::string::npos || dir == "/") return {};
        dir.resize(slash == 0 ? 1 : slash);
    }
    return dir;
}

std::vector<std::string> ChooserArguments(const std::string& program, const std::string& title,
                                          const std::string& start) {
    const std::string_view name = std::string_view(program).substr(program.rfind('/') + 1);
    if (name == "zenity") {
        std::vector<std::string> args = {program, "--file-selection", "--directory", "--title=" + title};
        // A trailing slash opens the folder itself rather than selecting it in its parent.
        if (!start.empty()) args.push_back("--filename=" + (start == "/" ? start : start + "/"));
        return args;
    }
    return {program, "--title", title, "--getexistingdirectory", start.empty() ? std::string("/") : start};
}

}  // namespace

FolderChooser::~FolderChooser() {
    Cancel();
    Wait();
}

bool FolderChooser::Start(const std::wstring& title, const std::wstring& startFolder) {
    std::lock_guard lock(m_mutex);
    if (m_running || m_pid != 0) {
        SetLastError(ERROR_BUSY);
        return false;
    }
    std::optional<std::string> program = FindOnPath("zenity");
    if (!program) program = FindOnPath("kdialog");
    if (!program) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const std::vector<std::string> args = ChooserArguments(*program, Utf8FromWide(title), StartDirectory(startFolder));
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    // The toolkits' warnings are not the answer, and are nobody's business.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = SpawnChild(*program, false, args, &actions, &pid);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        SetLastErrorFromErrno(error);
        return false;
    }
    m_pid = pid;
    m_output = pipeFds[0];
    m_running = true;
    m_cancelled = false;
    return true;
}

std::wstring FolderChooser::Wait() {
    pid_t pid = 0;
    int output = -1;
    {
        std::lock_guard lock(m_mutex);
        pid = m_pid;
        output = m_output;
        m_output = -1;
    }
    if (pid == 0) return {};
    std::string answer;
    if (output >= 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(output, buffer, sizeof buffer);
            if (n > 0) {
                answer.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        ::close(output);
    }
    // Waited for without reaping, so that Cancel never signals a pid that was reused.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    bool cancelled = false;
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        cancelled = m_cancelled;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    {
        std::lock_guard lock(m_mutex);
        m_pid = 0;
    }
    if (cancelled || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    if (answer.empty() || answer.front() != '/' || answer.find('\n') != std::string::npos) return {};
    return WinPath(answer);
}

void FolderChooser::Cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_running && m_pid != 0) ::kill(m_pid, SIGTERM);
}

}  // namespace platform
