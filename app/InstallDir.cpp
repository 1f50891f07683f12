#include "app/InstallDir.h"

#include <array>
#include <cwctype>
#include <mutex>
#include <utility>
#include <vector>

#include "commonlib/util/FileUtils.h"
#include "commonlib/util/PathString.h"
#include "commonlib/util/StringFormat.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Volume.h"

namespace {

constexpr wchar_t kMakerFolder[] = L"Quorvel网络";
constexpr std::array<const wchar_t*, 5> kCandidateDrives = {L"D:\\", L"E:\\", L"C:\\", L"F:\\", L"G:\\"};
constexpr const wchar_t* kProblemTexts[] = {L"", L"安装目录无效，请选择正确的目录",
                                            L"该磁盘剩余空间不足，请选择其他目录安装",
                                            L"该目录权限不足，请选择其他目录安装"};

std::mutex& FreeSpaceMutex() {
    static std::mutex mutex;
    return mutex;
}

FreeSpaceSource& FreeSpaceOverride() {
    static FreeSpaceSource source;
    return source;
}

// Joins like the shell's path append: exactly one backslash between the parts.
std::wstring AppendPath(std::wstring base, std::wstring_view name) {
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    base += name;
    return base;
}

std::vector<std::wstring> FixedDrives() {
    std::vector<std::wstring> drives;
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return drives;
    std::vector<WCHAR> buffer(needed + 1);
    const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return drives;
    for (const WCHAR* drive = buffer.data(); *drive != L'\0'; drive += std::wcslen(drive) + 1) {
        if (GetDriveTypeW(drive) == DRIVE_FIXED) drives.emplace_back(drive);
    }
    return drives;
}

// One name a folder can have: not empty, "." or "..", without separators or a character
// Windows forbids, not a device name.
bool IsFolderName(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find(L'\\') == std::wstring_view::npos &&
           IsValidPath(L"C:\\" + std::wstring(name));
}

std::wstring Normalised(std::wstring_view path) {
    std::wstring out(path);
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    while (out.size() > 1 && out.back() == L'\\')
        out.pop_back();
    return out;
}

}  // namespace

FreeSpaceSource SetFreeSpaceSourceForTesting(FreeSpaceSource source) {
    std::lock_guard lock(FreeSpaceMutex());
    return std::exchange(FreeSpaceOverride(), std::move(source));
}

std::uint64_t InstallVolumeFreeBytes(const std::wstring& path) {
    FreeSpaceSource source;
    {
        std::lock_guard lock(FreeSpaceMutex());
        source = FreeSpaceOverride();
    }
    return source ? source(path) : GetDiskFreeBytes(path);
}

bool HasEnoughFreeSpace(const std::wstring& path) {
    return InstallVolumeFreeBytes(path) > kRequiredInstallBytes;
}

bool IsUsableInstallDir(const std::wstring& path) {
    // A path that Windows could never create would fail the download folder's creation
    // again and again, reported as a connection problem.
    return IsValidPath(path) && IsDirWritable(path) && HasEnoughFreeSpace(path);
}

std::wstring EditionFolderName(bool internalEdition) {
    return internalEdition ? L"Tarnvik内部版" : L"QuorvelTarnvik";
}

std::wstring ProductFolder(bool internalEdition) {
    return std::wstring(kMakerFolder) + L"\\" + EditionFolderName(internalEdition);
}

std::wstring DefaultFolderName(bool internalEdition) {
    for (const wchar_t* drive : kCandidateDrives) {
        if (PathFileExistsW(drive)) return drive + ProductFolder(internalEdition);
    }
    return {};
}

std::wstring ChooseInstallDrive(const std::wstring& current, bool internalEdition) {
    if (IsUsableInstallDir(current)) return current;
    const std::wstring product = ProductFolder(internalEdition);
    for (const wchar_t* drive : kCandidateDrives) {
        const std::wstring candidate = drive + product;
        if (IsUsableInstallDir(candidate)) return candidate;
    }
    for (const std::wstring& drive : FixedDrives()) {
        bool tried = false;
        for (const wchar_t* candidateDrive : kCandidateDrives)
            tried = tried || drive == candidateDrive;
        if (tried) continue;
        const std::wstring candidate = drive + product;
        if (IsUsableInstallDir(candidate)) return candidate;
    }
    return {};
}

InstallDirCheck CheckInstallDir(const std::wstring& path) {
    InstallDirCheck check;
    if (!IsValidPath(path) || !PathDriveExists(path)) {
        check.problem = InstallDirProblem::Invalid;
        return check;
    }
    check.freeBytes = InstallVolumeFreeBytes(path);
    if (check.freeBytes < kRequiredInstallBytes) {
        check.problem = InstallDirProblem::NoSpace;
    } else if (!IsDirWritable(path)) {
        check.problem = InstallDirProblem::NotWritable;
    }
    return check;
}

std::wstring DiskSpaceText(const InstallDirCheck& check) {
    if (check.problem != InstallDirProblem::None) return kProblemTexts[static_cast<int>(check.problem)];
    return FormatW(L"所需磁盘空间：%s          可用磁盘空间：%s",
                   FormatByteSize(static_cast<std::int64_t>(kRequiredInstallBytes), ByteSizeStyle::Compact).c_str(),
                   FormatByteSize(static_cast<std::int64_t>(check.freeBytes), ByteSizeStyle::Compact).c_str());
}

std::wstring MakeDefaultInstallDir(const std::wstring& programDir, const std::wstring& folder) {
    // Anything but a name would make the proposal the program's parent folder or one above it.
    if (!IsFolderName(folder)) return {};
    const std::wstring beside = TextBeforeLast(programDir, L"\\") + L"\\" + folder;
    if (programDir.find(L'\\') != std::wstring::npos && IsUsableInstallDir(beside)) return beside;
    for (const std::wstring& drive : FixedDrives()) {
        const std::wstring candidate = AppendPath(AppendPath(drive, kMakerFolder), folder);
        if (IsDirWritable(candidate)) return candidate;
    }
    return {};
}

std::wstring FallbackFolderName(std::wstring_view path, bool internalEdition) {
    const std::wstring name = GetLastPathComponent(Normalised(path));
    return IsFolderName(name) ? name : EditionFolderName(internalEdition);
}

std::wstring GetParentPath(std::wstring_view path) {
    if (path.empty()) return {};
    std::wstring copy(path);
    for (wchar_t& c : copy) {
        if (c == L'/') c = L'\\';
    }
    if (copy.back() == L'\\') copy.pop_back();
    const std::size_t last = copy.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : copy.substr(0, last);
}

std::size_t FindLast(std::wstring_view text, std::wstring_view pattern) {
    return text.rfind(pattern);
}

std::wstring TextBeforeLast(std::wstring_view text, std::wstring_view pattern) {
    const std::size_t at = FindLast(text, pattern);
    return std::wstring(at == std::wstring_view::npos ? text : text.substr(0, at));
}

bool SameDirectory(std::wstring_view a, std::wstring_view b) {
    const std::wstring left = Normalised(a);
    const std::wstring right = Normalised(b);
    if (left.size() != right.size() || left.empty()) return false;
    if (std::towupper(left[0]) != std::towupper(right[0])) return false;
    return left.compare(1, std::wstring::npos, right, 1, std::wstring::npos) == 0;
}
