#include "platform/fs/Volume.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cwctype>
#include <string>

#include "platform/fs/DriveMap.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

// File-system magic numbers (statfs f_type) that are not local disks.
constexpr long kRamBacked[] = {0x01021994 /* tmpfs */, static_cast<long>(0x858458f6) /* ramfs */};
constexpr long kNetwork[] = {0x6969 /* nfs */,
                             0x517B /* smb */,
                             static_cast<long>(0xFF534D42) /* cifs */,
                             static_cast<long>(0xFE534D42) /* smb2 */,
                             0x564c /* ncp */,
                             0x47504653 /* gpfs */,
                             0x73757245 /* coda */,
                             0x5346414F /* afs */,
                             0x00C36400 /* ceph */};
constexpr long kOptical[] = {0x9660 /* iso9660 */, 0x15013346 /* udf */};
constexpr long kVirtual[] = {0x9fa0 /* proc */,     0x62656572 /* sysfs */,   0x1cd1 /* devpts */,
                             0x27e0eb /* cgroup */, 0x63677270 /* cgroup2 */, 0x64626720 /* debugfs */};

template <size_t N>
bool In(const long (&table)[N], long value) {
    for (long v : table) {
        if (v == value) return true;
    }
    return false;
}

std::optional<DriveMapping> DriveOf(LPCWSTR root) {
    if (!root) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return std::nullopt;
        const std::wstring win = WinPath(cwd);
        return win.empty() ? std::nullopt : FindDrive(win[0]);
    }
    if (root[0] == L'\0' || root[1] != L':') return std::nullopt;
    return FindDrive(root[0]);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace
}  // namespace platform

DWORD GetLogicalDriveStringsW(DWORD bufferLength, LPWSTR buffer) {
    std::wstring list;
    for (const auto& drive : platform::DriveMappings()) {
        if (!platform::IsDirectory(drive.root)) continue;
        list += drive.letter;
        list += L":\\";
        list += L'\0';
    }
    const DWORD needed = static_cast<DWORD>(list.size() + 1);
    if (!buffer || bufferLength < needed) return needed;
    list.copy(buffer, list.size());
    buffer[list.size()] = L'\0';
    return static_cast<DWORD>(list.size());
}

UINT GetDriveTypeW(LPCWSTR root) {
    const auto drive = platform::DriveOf(root);
    if (!drive || !platform::IsDirectory(drive->root)) return DRIVE_NO_ROOT_DIR;
    struct statfs fs {};
    if (::statfs(drive->root.c_str(), &fs) != 0) return DRIVE_UNKNOWN;
    const long type = static_cast<long>(fs.f_type);
    if (platform::In(platform::kNetwork, type)) return DRIVE_REMOTE;
    if (platform::In(platform::kOptical, type)) return DRIVE_CDROM;
    if (platform::In(platform::kRamBacked, type)) return DRIVE_RAMDISK;
    if (platform::In(platform::kVirtual, type)) return DRIVE_UNKNOWN;
    // The whole host tree is reachable, but it is not a drive to install onto.
    if (drive->neverFixed) return DRIVE_REMOTE;
    return DRIVE_FIXED;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, ULARGE_INTEGER* freeBytesAvailable, ULARGE_INTEGER* totalBytes,
                         ULARGE_INTEGER* totalFreeBytes) {
    std::optional<std::string> host;
    std::string root;
    if (directory) {
        host = platform::HostPath(directory);
        const auto drive = platform::DriveOf(directory);
        if (drive) root = drive->root;
    } else {
        const auto drive = platform::DriveOf(nullptr);
        if (drive) host = root = drive->root;
    }
    if (!host || root.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string path = *host;
    while (!platform::IsDirectory(path)) {
        if (path.size() <= root.size() || path == "/") {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
        const auto slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    const ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeBytesAvailable) freeBytesAvailable->QuadPart = static_cast<ULONGLONG>(vfs.f_bavail) * unit;
    if (totalBytes) totalBytes->QuadPart = static_cast<ULONGLONG>(vfs.f_blocks) * unit;
    if (totalFreeBytes) totalFreeBytes->QuadPart = static_cast<ULONGLONG>(vfs.f_bfree) * unit;
    return TRUE;
}
