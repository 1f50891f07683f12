#include "platform/fs/KnownFolders.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileSystem.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::string(value) : fallback;
}

}  // namespace

std::optional<std::string> SpecialFolderHostPath(int csidl) {
    const char* home = std::getenv("HOME");
    const std::string homeDir = home && *home ? home : "/";
    switch (csidl) {
        case CSIDL_COMMON_APPDATA:
            return NormaliseHostPath(EnvOr("XDG_DATA_HOME", homeDir + "/.local/share"));
        case CSIDL_COMMON_DOCUMENTS:
            return NormaliseHostPath(EnvOr("XDG_DOCUMENTS_DIR", homeDir + "/Documents"));
        default:
            return std::nullopt;
    }
}

}  // namespace platform

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR path, int csidl, BOOL create) {
    const auto host = platform::SpecialFolderHostPath(csidl);
    if (!host || !path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(*host, ec);
        if (ec) {
            SetLastErrorFromErrno(ec.value());
            return FALSE;
        }
    }
    const std::wstring win = platform::WinPath(*host);
    if (win.empty() || win.size() >= MAX_PATH) {
        SetLastError(win.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    win.copy(path, win.size());
    path[win.size()] = L'\0';
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size) {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n < 0) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    exe[n] = '\0';
    const std::wstring win = platform::WinPath(exe);
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const size_t copied = std::min<size_t>(win.size(), size - 1);
    win.copy(fileName, copied);
    fileName[copied] = L'\0';
    if (copied < win.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(copied);
}
