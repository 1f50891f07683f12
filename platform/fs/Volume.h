// Drives as volumes: the drive list, drive types and free space.
//
// A drive is present when its mapped directory exists. It is fixed when that
// directory lies on a local disk file system; proc-like, RAM-backed, network and
// optical file systems get their own types, and Z: (the whole host tree) is never
// fixed: it reports DRIVE_REMOTE. Any thread may call; failures set the thread's last error.
#pragma once

#include "platform/types/WinTypes.h"

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart = 0;
};

// "C:\<NUL>D:\<NUL><NUL>" for the present drives in letter order. Returns the
// length without the final NUL, or, when `bufferLength` is too small, the length
// needed including it (the buffer is then left alone).
DWORD GetLogicalDriveStringsW(DWORD bufferLength, LPWSTR buffer);

// `root` is "X:\", "X:" or any path on the drive; null means the drive of the
// current directory.
UINT GetDriveTypeW(LPCWSTR root);

// Free space of the volume holding `directory`. A folder that does not exist yet
// is measured at its nearest existing parent on the same drive.
BOOL GetDiskFreeSpaceExW(LPCWSTR directory, ULARGE_INTEGER* freeBytesAvailable, ULARGE_INTEGER* totalBytes,
                         ULARGE_INTEGER* totalFreeBytes);
