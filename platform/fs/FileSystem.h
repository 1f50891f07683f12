// Path-level file-system calls: directories, attributes, delete, move, copy,
// existence, and directory searches.
//
// Paths are Windows form (see DriveMap.h); any thread may call. Failures return
// FALSE (or INVALID_FILE_ATTRIBUTES / INVALID_HANDLE_VALUE) with the thread's last
// error: 2 for a missing file, 3 for a missing folder or unmapped drive, 5 for a
// refusal, 80/183 for an existing target. Nothing throws.
//
// "Read-only" is a file without any write permission bit. As on Windows, a
// read-only file cannot be deleted until the attribute is cleared.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fs/FileApi.h"
#include "platform/types/WinTypes.h"

inline constexpr DWORD MAX_PATH = 260;

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    DWORD dwReserved0 = 0;
    DWORD dwReserved1 = 0;
    WCHAR cFileName[MAX_PATH] = {};
    WCHAR cAlternateFileName[14] = {};
};

// An existing directory fails with ERROR_ALREADY_EXISTS; a missing parent with
// ERROR_PATH_NOT_FOUND. Parents are not created.
BOOL CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES* security);
BOOL RemoveDirectoryW(LPCWSTR path);

// FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY, or FILE_ATTRIBUTE_NORMAL
// when neither applies.
DWORD GetFileAttributesW(LPCWSTR path);
// Only FILE_ATTRIBUTE_READONLY has an effect, and only on files.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);

BOOL DeleteFileW(LPCWSTR path);

// Renames a file or directory. Without MOVEFILE_REPLACE_EXISTING an existing
// target fails with ERROR_ALREADY_EXISTS. Across file systems a file is copied,
// synced and then unlinked when MOVEFILE_COPY_ALLOWED is given (the target
// appears whole or not at all), else ERROR_NOT_SAME_DEVICE.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);

// Copies a file's bytes and permissions; the target appears whole or not at all.
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists);

// TRUE when the file or directory exists ("X:" and "X:\" name the drive root).
BOOL PathFileExistsW(LPCWSTR path);

// "dir\pattern" with the wildcards * and ? in the last part, matched without
// regard to case ("*.*" matches every name). Names come as WideFromHostName
// gives them (StringConv.h): joined to the directory, each names its own entry. The directory's entries are taken
// when the search starts, "." and ".." included. No match: INVALID_HANDLE_VALUE
// with ERROR_FILE_NOT_FOUND; end of the list: FALSE with ERROR_NO_MORE_FILES.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE search);

namespace platform {

// Windows' wildcard match (* any run, ? one character), without regard to case.
bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

// Copies `from` to a sibling of `to`, syncs it and renames it over `to` (or, with
// `replace` false, links it so an existing `to` is never touched). errno on failure.
int CopyFileDurably(const std::string& from, const std::string& to, bool replace);

}  // namespace platform
