#include "platform/fs/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/fs/PathError.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsReadOnlyFile(const struct stat& st) {
    return !S_ISDIR(st.st_mode) && (st.st_mode & kWriteBits) == 0;
}

DWORD AttributesOf(const struct stat& st) {
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnlyFile(st)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

FILETIME FileTimeOf(const struct timespec& ts) {
    // 100 ns ticks since 1601-01-01.
    const uint64_t ticks =
        (static_cast<uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL + static_cast<uint64_t>(ts.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

struct FoundEntry {
    std::wstring name;
    DWORD attributes = 0;
    uint64_t size = 0;
    FILETIME modified;
    FILETIME accessed;
    FILETIME changed;
};

class SearchObject : public KernelObject {
public:
    explicit SearchObject(std::vector<FoundEntry> entries) : m_entries(std::move(entries)) {}
    bool Next(WIN32_FIND_DATAW* data) {
        if (m_next >= m_entries.size()) return false;
        const FoundEntry& e = m_entries[m_next++];
        *data = WIN32_FIND_DATAW{};
        data->dwFileAttributes = e.attributes;
        data->ftCreationTime = e.changed;
        data->ftLastAccessTime = e.accessed;
        data->ftLastWriteTime = e.modified;
        data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(e.size);
        const size_t n = std::min<size_t>(e.name.size(), MAX_PATH - 1);
        e.name.copy(data->cFileName, n);
        data->cFileName[n] = L'\0';
        return true;
    }

private:
    std::vector<FoundEntry> m_entries;
    size_t m_next = 0;
};

bool WildcardFrom(std::wstring_view p, std::wstring_view n) {
    // Iterative match with one backtrack point for the last '*'.
    size_t pi = 0, ni = 0, star = std::wstring_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || ToUpperSimple(p[pi]) == ToUpperSimple(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == L'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::wstring_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*')
        ++pi;
    return pi == p.size();
}

int SyncDirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    fsync(fd);
    ::close(fd);
    return 0;
}

// The host path of an existing `path`, its status in `st` (`statCall` is ::stat or ::lstat);
// null with the last error set when the path is bad or missing.
std::optional<std::string> StatOrFail(LPCWSTR path, struct stat* st, int (*statCall)(const char*, struct stat*)) {
    auto host = HostPathOrFail(path);
    if (host && statCall(host->c_str(), st) != 0) {
        SetLastErrorForPath(errno, *host);
        return std::nullopt;
    }
    return host;
}

}  // namespace

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
    if (pattern == L"*.*") pattern = L"*";
    return WildcardFrom(pattern, name);
}

int CopyFileDurably(const std::string& from, const std::string& to, bool replace) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st {};
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(in);
        return error;
    }
    std::string temp = to + ".xjcopy-XXXXXX";
    const int out = mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                error = w == 0 ? ENOSPC : errno;
                break;
            }
            done += w;
        }
        if (error) break;
    }
    ::close(in);
    if (!error && fchmod(out, st.st_mode & 07777) != 0) error = errno;
    if (!error && fsync(out) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    if (!error) {
        if (replace) {
            if (::rename(temp.c_str(), to.c_str()) != 0) error = errno;
        } else if (::link(temp.c_str(), to.c_str()) != 0) {
            error = errno;
        }
    }
    if (error || !replace) ::unlink(temp.c_str());
    if (!error) SyncDirectoryOf(to);
    return error;
}

}  // namespace platform

BOOL CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES*) {
    const auto host = platform::HostPathOrFail(path);
    if (!host) return FALSE;
    if (::mkdir(host->c_str(), 0777) != 0) {
        platform::SetLastErrorForPath(errno, *host);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    const auto host = platform::HostPathOrFail(path);
    if (!host) return FALSE;
    if (::rmdir(host->c_str()) != 0) {
        const int error = errno;
        struct stat st {};
        if (error == ENOTDIR && ::stat(host->c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_DIRECTORY);
        } else {
            platform::SetLastErrorForPath(error, *host);
        }
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
    struct stat st {};
    if (!platform::StatOrFail(path, &st, ::stat)) return INVALID_FILE_ATTRIBUTES;
    return platform::AttributesOf(st);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    struct stat st {};
    const auto host = platform::StatOrFail(path, &st, ::stat);
    if (!host) return FALSE;
    if (S_ISDIR(st.st_mode)) return TRUE;
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        mode &= ~platform::kWriteBits;
    } else if ((mode & platform::kWriteBits) == 0) {
        mode |= S_IWUSR;
    }
    if (::chmod(host->c_str(), mode) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
    struct stat st {};
    const auto host = platform::StatOrFail(path, &st, ::lstat);
    if (!host) return FALSE;
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && platform::IsReadOnlyFile(st))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (::unlink(host->c_str()) != 0) {
        platform::SetLastErrorForPath(errno, *host);
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    const auto from = platform::HostPathOrFail(existing);
    if (!from) return FALSE;
    const auto to = platform::HostPathOrFail(target);
    if (!to) return FALSE;
    const bool replace = flags & MOVEFILE_REPLACE_EXISTING;

    int result = replace ? ::rename(from->c_str(), to->c_str())
                         : ::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE);
    if (result != 0 && !replace && errno == EINVAL) {
        // A file system without RENAME_NOREPLACE: check, then rename.
        struct stat st {};
        if (::lstat(to->c_str(), &st) == 0) {
            errno = EEXIST;
        } else {
            result = ::rename(from->c_str(), to->c_str());
        }
    }
    if (result == 0) return TRUE;
    if (errno == EEXIST || (errno == ENOTEMPTY && !replace)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (errno != EXDEV) {
        platform::SetLastErrorForPath(errno, *from);
        return FALSE;
    }
    if (!(flags & MOVEFILE_COPY_ALLOWED)) {
        SetLastError(ERROR_NOT_SAME_DEVICE);
        return FALSE;
    }
    struct stat st {};
    if (::stat(from->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_NOT_SAME_DEVICE);  // directories never move across volumes
        return FALSE;
    }
    if (const int error = platform::CopyFileDurably(*from, *to, replace)) {
        if (error == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
        } else {
            platform::SetLastErrorForPath(error, *to);
        }
        return FALSE;
    }
    if (::unlink(from->c_str()) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists) {
    const auto from = platform::HostPathOrFail(existing);
    if (!from) return FALSE;
    const auto to = platform::HostPathOrFail(target);
    if (!to) return FALSE;
    if (const int error = platform::CopyFileDurably(*from, *to, !failIfExists)) {
        if (error == EEXIST) {
            SetLastError(ERROR_FILE_EXISTS);
        } else {
            struct stat st {};
            platform::SetLastErrorForPath(error, ::stat(from->c_str(), &st) != 0 ? *from : *to);
        }
        return FALSE;
    }
    return TRUE;
}

BOOL PathFileExistsW(LPCWSTR path) {
    struct stat st {};
    return platform::StatOrFail(path, &st, ::stat) ? TRUE : FALSE;
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring_view text(pattern);
    const auto cut = text.find_last_of(L"\\/");
    if (cut == std::wstring_view::npos || cut + 1 == text.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring dirText(text.substr(0, cut + 1));
    const std::wstring_view namePattern = text.substr(cut + 1);
    const auto dir = platform::HostPathOrFail(dirText.c_str());
    if (!dir) return INVALID_HANDLE_VALUE;

    std::vector<platform::FoundEntry> entries;
    const bool wildcard = namePattern.find_first_of(L"*?") != std::wstring_view::npos;
    auto add = [&](int dirFd, const char* hostName) {
        struct stat st {};
        if (fstatat(dirFd, hostName, &st, 0) != 0 && fstatat(dirFd, hostName, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
        platform::FoundEntry e;
        e.name = platform::WideFromHostName(hostName);
        e.attributes = platform::AttributesOf(st);
        e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        e.modified = platform::FileTimeOf(st.st_mtim);
        e.accessed = platform::FileTimeOf(st.st_atim);
        e.changed = platform::FileTimeOf(st.st_ctim);
        entries.push_back(std::move(e));
    };

    DIR* d = ::opendir(dir->c_str());
    if (!d) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            SetLastError(ERROR_PATH_NOT_FOUND);
        } else {
            SetLastErrorFromErrno(error);
        }
        return INVALID_HANDLE_VALUE;
    }
    if (wildcard) {
        while (const dirent* ent = ::readdir(d)) {
            if (platform::MatchesWildcard(namePattern, platform::WideFromHostName(ent->d_name))) {
                add(dirfd(d), ent->d_name);
            }
        }
    } else {
        add(dirfd(d), platform::HostNameFromWide(namePattern).c_str());
    }
    ::closedir(d);
    if (entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<platform::SearchObject>(std::move(entries));
    search->Next(data);
    return platform::RegisterKernelObject(std::move(search));
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data) {
    const auto s = platform::LookupKernelObjectAs<platform::SearchObject>(search);
    if (!s || !data) {
        SetLastError(s ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!s->Next(data)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL FindClose(HANDLE search) {
    if (!platform::LookupKernelObjectAs<platform::SearchObject>(search)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(search);
}
