#include "platform/fs/FileApi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>

#include "platform/fs/PathError.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

class FileObject : public KernelObject {
public:
    explicit FileObject(int fd) : m_fd(fd) {}
    ~FileObject() override { Close(); }
    void OnClosed() override { Close(); }
    int Fd() const { return m_fd; }

private:
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    int m_fd;
};

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
    auto file = LookupKernelObjectAs<FileObject>(handle);
    if (!file || file->Fd() < 0) SetLastError(ERROR_INVALID_HANDLE);
    return file && file->Fd() >= 0 ? file : nullptr;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace
}  // namespace platform

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, SECURITY_ATTRIBUTES*, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE) {
    const auto host = platform::HostPathOrFail(fileName);
    if (!host) return INVALID_HANDLE_VALUE;

    const bool read = desiredAccess & GENERIC_READ;
    const bool write = desiredAccess & GENERIC_WRITE;
    int access = O_RDONLY;
    if (read && write) {
        access = O_RDWR;
    } else if (write) {
        access = O_WRONLY;
    }
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int fd = -1;
    bool existed = false;
    switch (creationDisposition) {
        case CREATE_NEW:
            fd = platform::OpenRetrying(*host, access | O_CREAT | O_EXCL, mode);
            if (fd < 0 && errno == EEXIST) {
                SetLastError(ERROR_FILE_EXISTS);
                return INVALID_HANDLE_VALUE;
            }
            break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            // Create exclusively first so that "already existed" is known without a race.
            for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
                fd = platform::OpenRetrying(*host, access | O_CREAT | O_EXCL, mode);
                if (fd >= 0 || errno != EEXIST) break;
                const int truncate = creationDisposition == CREATE_ALWAYS ? O_TRUNC : 0;
                fd = platform::OpenRetrying(*host, access | truncate, mode);
                if (fd >= 0) existed = true;
                if (fd < 0 && errno != ENOENT) break;
            }
            break;
        case OPEN_EXISTING:
            fd = platform::OpenRetrying(*host, access, mode);
            break;
        case TRUNCATE_EXISTING:
            if (!write) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            fd = platform::OpenRetrying(*host, access | O_TRUNC, mode);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    if (fd < 0) {
        platform::SetLastErrorForPath(errno, *host);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = platform::RegisterKernelObject(std::make_shared<platform::FileObject>(fd));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, OVERLAPPED*) {
    if (read) *read = 0;
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    if (!buffer && toRead > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < toRead) {
        const ssize_t n = ::read(f->Fd(), out + total, toRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read) *read = total;
            SetLastErrorFromErrno(errno == EBADF ? EACCES : errno);
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, OVERLAPPED*) {
    if (written) *written = 0;
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    if (!buffer && toWrite > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (total < toWrite) {
        const ssize_t n = ::write(f->Fd(), in + total, toWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = total;
            SetLastErrorFromErrno(n == 0 ? ENOSPC : (errno == EBADF ? EACCES : errno));
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD moveMethod) {
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    int whence;
    switch (moveMethod) {
        case FILE_BEGIN:
            whence = SEEK_SET;
            break;
        case FILE_CURRENT:
            whence = SEEK_CUR;
            break;
        case FILE_END:
            whence = SEEK_END;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    const off_t position = ::lseek(f->Fd(), static_cast<off_t>(distance.QuadPart), whence);
    if (position < 0) {
        // A position before the start is Windows' "negative seek".
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : WinErrorFromErrno(errno));
        return FALSE;
    }
    if (newPosition) newPosition->QuadPart = position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    struct stat st {};
    if (fstat(f->Fd(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (size) size->QuadPart = st.st_size;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    if (fsync(f->Fd()) != 0 && errno != EINVAL) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL SetEndOfFile(HANDLE file) {
    const auto f = platform::LookupFile(file);
    if (!f) return FALSE;
    const off_t position = ::lseek(f->Fd(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(f->Fd(), position) != 0) {
        SetLastErrorFromErrno(errno == EBADF || errno == EINVAL ? EACCES : errno);
        return FALSE;
    }
    return TRUE;
}
