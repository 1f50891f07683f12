// File, folder and volume helpers on Windows-form paths (see platform/fs/DriveMap.h).
//
// Any thread may call; they block on the file system only (DeleteFileWithRetry also
// sleeps between its attempts). Failures are results, logged where the result alone
// would hide the cause.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types/WinTypes.h"

// The folder of the program's own file, without a trailing backslash; computed once.
const std::wstring& GetExeDir();

// Whether the drive of `path` (its first two characters, or the whole path when shorter) exists.
bool PathDriveExists(const std::wstring& path);

// Finds the nearest existing directory at or above `path` and tries to create and delete
// an empty probe file "xjtest_<seconds>.qvxj" there. True when the probe could be
// created; false when it could not or no existing directory lies above the path. The
// probe never replaces a file of the same name.
bool IsDirWritable(const std::wstring& path);

// Creates the directory and every missing parent. True when it exists afterwards;
// otherwise logs "CreateDirByXj:%s GetLastError %u" and returns false.
bool CreateDirByXj(const std::wstring& path);

// True at once when `path` does not exist; otherwise up to retries + 1 delete attempts,
// with sleeps of 1 ms, 101 ms, 201 ms, ... between them; true when the file is gone.
bool DeleteFileWithRetry(const std::wstring& path, int retries);

// The calls DeleteFileWithRetry makes, replaceable for tests.
struct FileDeleteHooks {
    std::function<BOOL(LPCWSTR)> deleteFile;
    std::function<void(DWORD)> sleep;
};
bool DeleteFileWithRetry(const std::wstring& path, int retries, const FileDeleteHooks& hooks);

// Deletes the folder's contents and, with `removeFolder`, the folder itself, clearing a
// file's read-only attribute when that stops its deletion. Links inside are removed,
// never followed. A drive root is refused. True when everything went.
bool DeleteFolderTree(const std::wstring& path, bool removeFolder = true);

// When the file does not exist, creates it holding only the UTF-16LE byte order mark
// FF FE. True when the file exists afterwards; an existing file is never touched.
bool EnsureUnicodeFile(const std::wstring& path);

// Size of the file that a directory search for `path` finds; -1 when there is none.
std::int64_t GetFileSizeByPath(const std::wstring& path);

// Free bytes available on the volume of `path`; 0 when it cannot be measured.
std::uint64_t GetDiskFreeBytes(const std::wstring& path);

// The shell folder's path (CSIDL_COMMON_APPDATA 0x23, CSIDL_COMMON_DOCUMENTS 0x2E); empty when unknown.
std::wstring GetSpecialFolderPath(int csidl);
