#include "platform/sync/Mutex.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/strings/StringConv.h"
#include "platform/sync/Thread.h"
#include "platform/sync/Wait.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

constexpr std::size_t kMaxLockFileName = 240;  // below NAME_MAX with room for the suffix

// Shared by every handle of this process to one mutex; the last handle's close
// destroys it, which drops the file lock of a named one.
class MutexCore {
public:
    explicit MutexCore(std::wstring name) : m_name(std::move(name)) {}
    ~MutexCore();
    MutexCore(const MutexCore&) = delete;
    MutexCore& operator=(const MutexCore&) = delete;

    bool Acquire(DWORD timeoutMs) {
        const DWORD self = GetCurrentThreadId();
        std::unique_lock lock(m_mutex);
        if (m_owner == self) {
            ++m_depth;
            return true;
        }
        if (!WaitWithTimeout(m_changed, lock, timeoutMs, [this] { return m_owner == 0; })) return false;
        m_owner = self;
        m_depth = 1;
        return true;
    }

    bool Release() {
        {
            std::lock_guard lock(m_mutex);
            if (m_owner != GetCurrentThreadId()) return false;
            if (--m_depth > 0) return true;
            m_owner = 0;
        }
        m_changed.notify_all();
        NotifyWaiters();
        return true;
    }

private:
    const std::wstring m_name;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    DWORD m_owner = 0;
    DWORD m_depth = 0;
};

class MutexHandle : public KernelObject {
public:
    explicit MutexHandle(std::shared_ptr<MutexCore> core) : m_core(std::move(core)) {}
    bool WaitSignalled(DWORD timeoutMs) override { return m_core->Acquire(timeoutMs); }
    MutexCore& Core() { return *m_core; }

private:
    std::shared_ptr<MutexCore> m_core;
};

// The lock file belongs to the name's entry, not to the core: a create that races
// the destruction of the previous core finds the entry expired and takes over the
// descriptor, instead of meeting its own process's lock and reporting "exists".
struct NameEntry {
    std::weak_ptr<MutexCore> core;
    int lockFd = -1;  // -1 while another process holds the lock
};

struct NameTable {
    std::mutex mutex;
    std::map<std::wstring, NameEntry> entries;
};

NameTable& Names() {
    static NameTable* table = new NameTable;  // closes may run during static destruction
    return *table;
}

MutexCore::~MutexCore() {
    if (m_name.empty()) return;
    NameTable& names = Names();
    std::lock_guard lock(names.mutex);
    const auto it = names.entries.find(m_name);
    if (it == names.entries.end() || !it->second.core.expired()) return;  // a newer core took the name
    if (it->second.lockFd >= 0) close(it->second.lockFd);
    names.entries.erase(it);
}

bool IsPlainNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// Every byte outside [A-Za-z0-9_-] becomes %XX, so '/', '.', '..' and control
// characters can never form a path of their own.
std::string EscapeName(std::wstring_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : Utf8FromWide(name)) {
        if (IsPlainNameByte(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::filesystem::path LockDirectory(bool* perUserName) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) {
            *perUserName = false;
            return runtime;
        }
    }
    *perUserName = true;  // /tmp is shared by every user
    return "/tmp";
}

// Whether a live process still holds the lock on an earlier file of `path` that
// was deleted or replaced since: its descriptor shows the path as "(deleted)"
// under /proc/<pid>/fd. Such a file is opened again through that entry and tried.
// Only our own user's processes can be looked at, which is all a per-user lock
// directory can hold.
bool HeldOnAnEarlierFile(const std::filesystem::path& path) {
    const std::string wanted = path.string() + " (deleted)";
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    bool held = false;
    while (!held) {
        const dirent* process = readdir(proc);
        if (!process) break;
        if (process->d_name[0] < '1' || process->d_name[0] > '9') continue;
        const std::string fdDir = std::string("/proc/") + process->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;  // gone, or another user's
        while (const dirent* entry = readdir(fds)) {
            if (entry->d_name[0] == '.') continue;
            const std::string link = fdDir + "/" + entry->d_name;
            char target[PATH_MAX];
            const ssize_t n = readlink(link.c_str(), target, sizeof target);
            if (n <= 0 || std::string_view(target, static_cast<size_t>(n)) != wanted) continue;
            const int fd = open(link.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) held = true;
            close(fd);  // drops the trial lock, when it was taken
            if (held) break;
        }
        closedir(fds);
    }
    closedir(proc);
    return held;
}

// Opens and locks the file of a new named mutex. Returns the descriptor (holding
// the lock), -1 with *alreadyHeld when another process holds it, or -1 with the
// last error set.
int TakeLockFile(std::wstring_view name, bool* alreadyHeld) {
    *alreadyHeld = false;
    const auto path = MutexLockFilePath(name);
    if (path.empty()) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    for (;;) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            SetLastErrorFromErrno(errno);
            return -1;
        }
        // A file planted by another user (in /tmp) must not decide whether we run.
        struct stat info {};
        if (fstat(fd, &info) != 0 || info.st_uid != geteuid() || !S_ISREG(info.st_mode)) {
            close(fd);
            SetLastError(ERROR_ACCESS_DENIED);
            return -1;
        }
        int result;
        do {
            result = flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int error = errno;
            close(fd);
            if (error == EWOULDBLOCK) {
                *alreadyHeld = true;
            } else {
                SetLastErrorFromErrno(error);
            }
            return -1;
        }
        // The lock counts only on the file the path names now: one deleted or replaced
        // between our open and our lock is worth nothing.
        struct stat now {};
        if (stat(path.c_str(), &now) != 0 || now.st_dev != info.st_dev || now.st_ino != info.st_ino) {
            close(fd);
            continue;
        }
        // The holder's file may have been deleted under it, and ours made afresh.
        if (HeldOnAnEarlierFile(path)) {
            close(fd);
            *alreadyHeld = true;
            return -1;
        }
        return fd;
    }
}

}  // namespace

std::filesystem::path MutexLockFilePath(std::wstring_view name) {
    std::string fileName = EscapeName(name);
    if (fileName.empty() || fileName.size() > kMaxLockFileName) return {};
    bool perUser = false;
    auto directory = LockDirectory(&perUser);
    if (perUser) {
        fileName += '-';
        fileName += std::to_string(geteuid());
    }
    fileName += ".lock";
    return directory / fileName;
}

}  // namespace platform

HANDLE CreateMutexW(void*, BOOL initialOwner, LPCWSTR name) {
    using platform::MutexCore;
    const std::wstring key = name ? name : L"";
    std::shared_ptr<MutexCore> core;
    bool existed = false;
    if (key.empty()) {
        core = std::make_shared<MutexCore>(L"");
    } else {
        platform::NameTable& names = platform::Names();
        // Held across the file lock so two threads creating one name agree on who created it.
        std::lock_guard lock(names.mutex);
        platform::NameEntry& entry = names.entries[key];
        core = entry.core.lock();
        existed = core != nullptr;
        if (!core) {
            if (entry.lockFd < 0) {
                bool heldElsewhere = false;
                entry.lockFd = platform::TakeLockFile(key, &heldElsewhere);
                if (entry.lockFd < 0 && !heldElsewhere) {
                    const DWORD error = GetLastError();
                    if (entry.core.expired()) names.entries.erase(key);
                    SetLastError(error);
                    return nullptr;
                }
                existed = heldElsewhere;
            }
            core = std::make_shared<MutexCore>(key);
            entry.core = core;
        }
    }
    if (initialOwner && !existed) core->Acquire(0);
    HANDLE handle = platform::RegisterKernelObject(std::make_shared<platform::MutexHandle>(std::move(core)));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
    const auto object = platform::LookupKernelObjectAs<platform::MutexHandle>(mutex);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!object->Core().Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
