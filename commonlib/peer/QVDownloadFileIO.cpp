#include "commonlib/peer/QVDownloadFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "commonlib/util/StringUtils.h"
#include "platform/types/ErrorCodes.h"

// FIXME: go through platform/fs (CreateFileW, WriteFile, MoveFileExW and the drive map's
// HostPath) once that layer is in; until then paths are taken as host paths.
std::string DownloadHostPath(const std::wstring& path) { return WideToUtf8(path); }

CQVDownloadFileIO::CQVDownloadFileIO(std::wstring finalPath) : m_finalPath(std::move(finalPath)) {}

CQVDownloadFileIO::~CQVDownloadFileIO() { Close(); }

DWORD CQVDownloadFileIO::Open(std::uint64_t size, OpenMode mode) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    const std::string path = DownloadHostPath(TempPath());
    const int flags = mode == OpenMode::Fresh ? O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC : O_RDWR | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return WinErrorFromErrno(errno);
    if (mode == OpenMode::Resume) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size) {
            ::close(fd);
            return ERROR_INVALID_DATA;
        }
    } else if (size > 0) {
        // Reserving the space up front turns a full disk into one clear error at the start
        // instead of a failure half-way; file systems without fallocate get a sparse file.
        const int rc = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
        if (rc == ENOSPC || rc == EFBIG || (rc != 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)) {
            const DWORD error = WinErrorFromErrno(rc == ENOSPC || rc == EFBIG ? rc : errno);
            ::close(fd);
            ::unlink(path.c_str());
            return error;
        }
    }
    m_fd = fd;
    return 0;
}

DWORD CQVDownloadFileIO::WriteAt(std::uint64_t offset, const void* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(m_fd, bytes, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return WinErrorFromErrno(errno);
        }
        if (n == 0) return ERROR_DISK_FULL;
        bytes += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

DWORD CQVDownloadFileIO::Flush() {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    return ::fdatasync(m_fd) == 0 ? 0 : WinErrorFromErrno(errno);
}

void CQVDownloadFileIO::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

DWORD CQVDownloadFileIO::MoveToFinal() {
    if (const DWORD error = Flush(); error != 0 && error != ERROR_INVALID_HANDLE) return error;
    Close();
    const std::string from = DownloadHostPath(TempPath());
    if (::rename(from.c_str(), DownloadHostPath(m_finalPath).c_str()) == 0) return 0;
    if (errno == ENOENT && ::access(from.c_str(), F_OK) != 0) return 0;
    return WinErrorFromErrno(errno);
}

void CQVDownloadFileIO::Discard() {
    Close();
    ::unlink(DownloadHostPath(TempPath()).c_str());
}
