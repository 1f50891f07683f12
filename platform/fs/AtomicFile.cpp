#include "platform/fs/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

constexpr std::string_view kTempInfix = ".xjtmp-";
constexpr size_t kTempRandomChars = 6;  // mkostemp's XXXXXX

std::mutex& HookMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::function<void(const std::string&)>& Hook() {
    static auto* hook = new std::function<void(const std::string&)>;
    return *hook;
}

// Reads a whole regular file from `fd`, at most kMaxWholeFileBytes.
int ReadRegularFile(int fd, std::string* bytes) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EACCES;
    if (static_cast<uint64_t>(st.st_size) > kMaxWholeFileBytes) return EFBIG;
    bytes->reserve(static_cast<size_t>(st.st_size));
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (bytes->size() + static_cast<size_t>(n) > kMaxWholeFileBytes) return EFBIG;  // grew while read
        bytes->append(buffer, static_cast<size_t>(n));
    }
}

// Where a replacement of `linkOrPath` must happen: a link's target, so the link survives.
int ResolveTarget(const std::string& linkOrPath, std::string* target) {
    *target = linkOrPath;
    struct stat link {};
    if (::lstat(linkOrPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (!realpath(linkOrPath.c_str(), resolved)) return errno;
        *target = resolved;
    }
    return 0;
}

std::pair<std::string, std::string> SplitDirectory(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

void SyncDirectory(const std::string& dir) {
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
}

int Replace(const std::string& hostPath, std::string_view bytes) {
    std::string temp = hostPath + std::string(kTempInfix) + std::string(kTempRandomChars, 'X');
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    struct stat st {};
    mode_t mode;
    if (::stat(hostPath.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd, mode) != 0) error = errno;
    for (size_t done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n == 0 ? ENOSPC : errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!error && fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error) {
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard lock(HookMutex());
            hook = Hook();
        }
        if (hook) hook(temp);
        if (::rename(temp.c_str(), hostPath.c_str()) != 0) error = errno;
    }
    if (error) {
        ::unlink(temp.c_str());
        return error;
    }
    SyncDirectory(SplitDirectory(hostPath).first);
    return 0;
}

// Opens `path` (creating it empty when missing) and locks it exclusively. The lock
// is only good while the path still names the locked file: an updater that waited
// may find it replaced by the one before it, and then locks the new file instead.
int OpenLocked(const std::string& path, int* fdOut, bool* created) {
    for (;;) {
        *created = false;
        struct stat before {};
        if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
            return S_ISDIR(before.st_mode) ? EISDIR : EACCES;  // never opened: a device may act on it
        }
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) continue;  // another updater created it first
            *created = fd >= 0;
        }
        if (fd < 0) return errno;
        struct stat held {};
        const int statError = fstat(fd, &held) != 0 ? errno : S_ISREG(held.st_mode) ? 0 : EACCES;
        if (statError) {
            ::close(fd);
            return statError;
        }
        int result;
        do {
            result = flock(fd, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
            *fdOut = fd;
            return 0;
        }
        ::close(fd);
    }
}

// Removes "<name>.xjtmp-XXXXXX" files beside `path`; only safe under the update lock.
void RemoveStaleTemporaries(const std::string& path) {
    const auto [dir, name] = SplitDirectory(path);
    const std::string prefix = name + std::string(kTempInfix);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = ::readdir(d)) {
        const std::string_view candidate(entry->d_name);
        if (candidate.size() != prefix.size() + kTempRandomChars || !candidate.starts_with(prefix)) continue;
        const std::string_view random = candidate.substr(prefix.size());
        if (!std::all_of(random.begin(), random.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        ::unlinkat(dirfd(d), entry->d_name, 0);
    }
    ::closedir(d);
}

}  // namespace

int ReadWholeFile(const std::string& hostPath, std::string* bytes) {
    bytes->clear();
    // Checked before opening too: opening a device or a FIFO can block or act.
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EACCES;
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno;
    const int error = ReadRegularFile(fd, bytes);
    ::close(fd);
    return error;
}

int WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes) {
    std::string target;
    if (const int error = ResolveTarget(linkOrPath, &target)) return error;
    return Replace(target, bytes);
}

int UpdateFileAtomically(const std::string& linkOrPath,
                         const std::function<UpdateAction(std::string& bytes, bool exists)>& edit) {
    std::string target;
    if (const int error = ResolveTarget(linkOrPath, &target)) return error;
    int fd = -1;
    bool created = false;
    if (const int error = OpenLocked(target, &fd, &created)) return error;
    RemoveStaleTemporaries(target);
    std::string bytes;
    int error = ReadRegularFile(fd, &bytes);
    if (!error) {
        if (edit(bytes, !created) == UpdateAction::Replace) {
            error = Replace(target, bytes);
            created = created && error != 0;
        }
    }
    if (created) ::unlink(target.c_str());  // still ours: the lock is held until the close
    ::close(fd);
    return error;
}

void SetAtomicWriteHookForTesting(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace platform
