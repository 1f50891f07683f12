#include "commonlib/util/FileUtils.h"

#include <ctime>
#include <vector>

#include "commonlib/logger/Log.h"
#include "commonlib/util/PathString.h"
#include "commonlib/util/StringFormat.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/fs/Volume.h"
#include "platform/sync/Clock.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr int kProbeNameTries = 16;  // successive seconds tried when a probe name is taken

bool IsExistingDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    while (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool IsDriveRoot(const std::wstring& path) {
    const std::wstring trimmed = WithoutTrailingSeparators(path);
    return trimmed.size() == 2 && trimmed[1] == L':';
}

bool DeleteTreeContents(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    std::vector<std::pair<std::wstring, bool>> entries;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.emplace_back(folder + L"\\" + name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(search, &data));
    FindClose(search);

    bool all = true;
    for (const auto& [path, directory] : entries) {
        // The search reports what a link points to. DeleteFileW removes a link itself and
        // refuses a real folder, so trying it first never walks out of the tree.
        if (DeleteFileW(path.c_str())) continue;
        if (directory) {
            all = DeleteTreeContents(path) && all;
            all = RemoveDirectoryW(path.c_str()) && all;
        } else {
            all = (SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path.c_str())) && all;
        }
    }
    return all;
}

}  // namespace

const std::wstring& GetExeDir() {
    static const std::wstring dir = [] {
        std::vector<WCHAR> buffer(MAX_PATH);
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return std::wstring();
            if (length < buffer.size()) return GetDirectoryPart(std::wstring(buffer.data(), length));
            buffer.resize(buffer.size() * 2);
        }
    }();
    return dir;
}

bool PathDriveExists(const std::wstring& path) {
    return PathFileExistsW(path.substr(0, 2).c_str());
}

bool IsDirWritable(const std::wstring& path) {
    std::wstring dir = WithoutTrailingSeparators(path);
    while (!dir.empty() && !IsExistingDirectory(dir))
        dir = GetParentDir(dir);
    if (dir.empty()) return false;
    const std::time_t now = std::time(nullptr);
    for (int i = 0; i < kProbeNameTries; ++i) {
        const std::wstring probe = FormatW(L"%s\\xjtest_%d.qvxj", dir.c_str(), static_cast<int>(now + i));
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileW(probe.c_str());
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool CreateDirByXj(const std::wstring& path) {
    const std::wstring target = WithoutTrailingSeparators(path);
    std::vector<std::wstring> missing;
    for (std::wstring dir = target; !dir.empty() && !IsExistingDirectory(dir); dir = GetParentDir(dir))
        missing.push_back(dir);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (CreateDirectoryW(it->c_str(), nullptr) || IsExistingDirectory(*it)) continue;
        XJ_LOG_WARN(L"CreateDirByXj:%s GetLastError %u", path.c_str(), GetLastError());
        return false;
    }
    if (IsExistingDirectory(target)) return true;
    XJ_LOG_WARN(L"CreateDirByXj:%s GetLastError %u", path.c_str(), GetLastError());
    return false;
}

bool DeleteFileWithRetry(const std::wstring& path, int retries) {
    return DeleteFileWithRetry(path, retries, FileDeleteHooks{&DeleteFileW, &Sleep});
}

bool DeleteFileWithRetry(const std::wstring& path, int retries, const FileDeleteHooks& hooks) {
    if (!PathFileExistsW(path.c_str())) return true;
    const int attempts = retries > 0 ? retries + 1 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) hooks.sleep(1 + 100 * static_cast<DWORD>(attempt - 1));
        hooks.deleteFile(path.c_str());
        if (!PathFileExistsW(path.c_str())) return true;
    }
    return false;
}

bool DeleteFolderTree(const std::wstring& path, bool removeFolder) {
    const std::wstring folder = WithoutTrailingSeparators(path);
    if (folder.empty() || IsDriveRoot(folder)) {
        XJ_LOG_ERROR(L"DeleteFolderTree refused:%s", path.c_str());
        return false;
    }
    if (!IsExistingDirectory(folder)) return !PathFileExistsW(folder.c_str());
    // A link to a folder is removed as the link: what it points to is not ours.
    if (removeFolder && DeleteFileW(folder.c_str())) return true;
    bool all = DeleteTreeContents(folder);
    if (removeFolder) all = RemoveDirectoryW(folder.c_str()) && all;
    return all;
}

bool EnsureUnicodeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    const unsigned char bom[] = {0xFF, 0xFE};
    DWORD written = 0;
    const bool ok = WriteFile(file, bom, sizeof bom, &written, nullptr) && written == sizeof bom;
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());  // no empty file that the profile functions would take for UTF-8
    return ok;
}

std::int64_t GetFileSizeByPath(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::uint64_t GetDiskFreeBytes(const std::wstring& path) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return 0;
    return available.QuadPart;
}

std::wstring GetSpecialFolderPath(int csidl) {
    WCHAR buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
    return buffer;
}
