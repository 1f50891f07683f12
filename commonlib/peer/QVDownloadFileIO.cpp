#include "commonlib/peer/QVDownloadFileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileApi.h"
#include "platform/fs/FileSystem.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

// WriteFile takes 32-bit lengths.
constexpr size_t kMaxWriteChunk = 1u << 30;

bool Seek(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

// Windows gives a file its clusters when its end moves out; Linux would leave a sparse
// file that runs out of space half-way. The blocks are claimed now, through the host path
// of the file the handle has open.
DWORD ReserveSpace(const std::wstring& path, std::uint64_t size) {
    const auto host = platform::HostPath(path);
    if (!host) return ERROR_PATH_NOT_FOUND;
    const int fd = ::open(host->c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return WinErrorFromErrno(errno);
    int error;
    do {
        error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    } while (error == EINTR);
    ::close(fd);
    return error == 0 ? 0 : WinErrorFromErrno(error);
}

}  // namespace

CQVDownloadFileIO::CQVDownloadFileIO(std::wstring finalPath) : m_finalPath(std::move(finalPath)) {}

CQVDownloadFileIO::~CQVDownloadFileIO() {
    Close();
}

DWORD CQVDownloadFileIO::Open(std::uint64_t size, OpenMode mode) {
    std::lock_guard lock(m_mutex);
    if (m_file) CloseHandle(m_file);
    m_file = nullptr;
    const std::wstring temp = TempPath();
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              mode == OpenMode::Fresh ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    if (mode == OpenMode::Resume) {
        LARGE_INTEGER current{};
        if (!GetFileSizeEx(file, &current) || static_cast<std::uint64_t>(current.QuadPart) != size) {
            CloseHandle(file);
            return ERROR_INVALID_DATA;
        }
    } else if (size > 0) {
        // The whole size is claimed up front, so a file the disk cannot hold fails here.
        if (const DWORD error = ReserveSpace(temp, size); error != 0) {
            CloseHandle(file);
            DeleteFileW(temp.c_str());
            return error;
        }
    }
    m_file = file;
    return 0;
}

DWORD CQVDownloadFileIO::WriteAt(std::uint64_t offset, const void* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_file) return ERROR_INVALID_HANDLE;
    if (!Seek(m_file, offset)) return GetLastError();
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min(length, kMaxWriteChunk));
        DWORD written = 0;
        if (!WriteFile(m_file, bytes, chunk, &written, nullptr)) return GetLastError();
        bytes += written;
        length -= written;
    }
    return 0;
}

DWORD CQVDownloadFileIO::Flush() {
    std::lock_guard lock(m_mutex);
    if (!m_file) return ERROR_INVALID_HANDLE;
    return FlushFileBuffers(m_file) ? 0 : GetLastError();
}

void CQVDownloadFileIO::Close() {
    std::lock_guard lock(m_mutex);
    if (m_file) CloseHandle(m_file);
    m_file = nullptr;
}

DWORD CQVDownloadFileIO::MoveToFinal() {
    Close();
    const std::wstring temp = TempPath();
    if (MoveFileExW(temp.c_str(), m_finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    const DWORD error = GetLastError();
    // Already moved (an earlier attempt got this far): the file is in place.
    if (GetFileAttributesW(temp.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(m_finalPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    return error;
}

void CQVDownloadFileIO::Discard() {
    Close();
    DeleteFileW(TempPath().c_str());
}
