#include "platform/process/ProcessList.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/strings/StringConv.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

constexpr size_t kCommLength = 15;  // the kernel keeps 15 characters of a process name

std::string ProcPath(DWORD pid, const char* leaf) {
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

std::string ReadSmallFile(const std::string& path, size_t limit = 64 * 1024) {
    std::ifstream in(path, std::ios::binary);
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::optional<std::string> ReadLink(const std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(n));
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct StatLine {
    char state = '?';
    DWORD parentPid = 0;
    DWORD threads = 0;
    std::string comm;
};

// "pid (comm) S ppid ..." where comm may hold blanks and parentheses.
std::optional<StatLine> ReadStat(DWORD pid) {
    const std::string text = ReadSmallFile(ProcPath(pid, "stat"));
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= text.size()) {
        return std::nullopt;
    }
    StatLine line;
    line.comm = text.substr(open + 1, close - open - 1);
    line.state = text[close + 2];
    // Fields after the state: ppid is the 1st, num_threads the 17th.
    size_t pos = close + 4;
    for (int field = 1; field <= 17 && pos < text.size(); ++field) {
        const auto end = text.find(' ', pos);
        const std::string value = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (field == 1) line.parentPid = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        if (field == 17) line.threads = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return line;
}

class SnapshotObject : public KernelObject {
public:
    explicit SnapshotObject(std::vector<ProcessInfo> list) : m_list(std::move(list)) {}
    bool Fill(size_t index, PROCESSENTRY32W* entry) const {
        if (index >= m_list.size()) return false;
        const ProcessInfo& p = m_list[index];
        *entry = PROCESSENTRY32W{};
        entry->th32ProcessID = p.pid;
        entry->th32ParentProcessID = p.parentPid;
        entry->cntThreads = p.threads;
        const size_t n = std::min<size_t>(p.exeName.size(), MAX_PATH - 1);
        p.exeName.copy(entry->szExeFile, n);
        entry->szExeFile[n] = L'\0';
        return true;
    }
    size_t m_next = 0;

private:
    std::vector<ProcessInfo> m_list;
};

BOOL NextEntry(HANDLE snapshot, PROCESSENTRY32W* entry, bool first) {
    const auto s = LookupKernelObjectAs<SnapshotObject>(snapshot);
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!entry || entry->dwSize != sizeof(PROCESSENTRY32W)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (first) s->m_next = 0;
    if (!s->Fill(s->m_next, entry)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    ++s->m_next;
    return TRUE;
}

}  // namespace

std::optional<std::string> ProcessImageHostPath(DWORD pid) {
    auto exe = ReadLink(ProcPath(pid, "exe"));
    if (!exe) return std::nullopt;
    constexpr std::string_view kDeleted = " (deleted)";
    if (exe->size() > kDeleted.size() && exe->ends_with(kDeleted)) exe->resize(exe->size() - kDeleted.size());

    std::string comm = ReadSmallFile(ProcPath(pid, "comm"));
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (comm.empty() || BaseName(*exe).substr(0, kCommLength) == comm) return exe;

    // Started through "#!": the kernel named the process after the script, which the
    // interpreter got as its first or second argument.
    const std::string cmdline = ReadSmallFile(ProcPath(pid, "cmdline"));
    std::vector<std::string> args;
    for (size_t pos = 0; pos < cmdline.size();) {
        const auto end = cmdline.find('\0', pos);
        args.push_back(cmdline.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    for (size_t i = 1; i < args.size() && i <= 2; ++i) {
        if (args[i].empty() || BaseName(args[i]).substr(0, kCommLength) != comm) continue;
        std::string script = args[i];
        if (script[0] != '/') {
            const auto cwd = ReadLink(ProcPath(pid, "cwd"));
            if (!cwd) continue;
            script = *cwd + "/" + script;
        }
        if (ReadSmallFile(script, 2) == "#!") return script;
    }
    return exe;
}

bool IsOwnUsersProcess(DWORD pid) {
    struct stat info {};
    return ::stat(("/proc/" + std::to_string(pid)).c_str(), &info) == 0 && info.st_uid == ::geteuid();
}

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> list;
    DIR* proc = ::opendir("/proc");
    if (!proc) return list;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (*end != '\0' || pid == 0) continue;
        const auto stat = ReadStat(static_cast<DWORD>(pid));
        if (!stat || stat->state == 'Z' || stat->state == 'X') continue;
        ProcessInfo info;
        info.pid = static_cast<DWORD>(pid);
        info.parentPid = stat->parentPid;
        info.threads = stat->threads;
        const auto image = ProcessImageHostPath(info.pid);
        info.exeName = WideFromHostName(image ? BaseName(*image) : stat->comm);
        list.push_back(std::move(info));
    }
    ::closedir(proc);
    return list;
}

}  // namespace platform

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
    if (!(flags & TH32CS_SNAPPROCESS)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    return platform::RegisterKernelObject(std::make_shared<platform::SnapshotObject>(platform::ListProcesses()));
}

BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return platform::NextEntry(snapshot, entry, true);
}

BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return platform::NextEntry(snapshot, entry, false);
}
