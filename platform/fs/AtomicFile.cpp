#include "platform/fs/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

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
    // A linked file is replaced where it really lives, so the link survives.
    std::string hostPath = linkOrPath;
    struct stat link {};
    if (::lstat(linkOrPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (!realpath(linkOrPath.c_str(), resolved)) return errno;
        hostPath = resolved;
    }
    std::string temp = hostPath + ".xjtmp-XXXXXX";
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
    const auto slash = hostPath.find_last_of('/');
    const std::string dir = slash == 0 || slash == std::string::npos ? "/" : hostPath.substr(0, slash);
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

void SetAtomicWriteHookForTesting(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace platform
