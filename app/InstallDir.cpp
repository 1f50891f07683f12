#include "app/InstallDir.h"

#include <cwctype>
#include <vector>

#include "commonlib/util/FileUtils.h"
#include "platform/fs/Volume.h"

namespace {

constexpr wchar_t kMakerFolder[] = L"Quorvel网络";

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

bool HasEnoughFreeSpace(const std::wstring& path) {
    return GetDiskFreeBytes(path) > kRequiredInstallBytes;
}

bool IsUsableInstallDir(const std::wstring& path) {
    return IsDirWritable(path) && HasEnoughFreeSpace(path);
}

std::wstring MakeDefaultInstallDir(const std::wstring& programDir, const std::wstring& folder) {
    const std::wstring beside = TextBeforeLast(programDir, L"\\") + L"\\" + folder;
    if (programDir.find(L'\\') != std::wstring::npos && IsUsableInstallDir(beside)) return beside;
    for (const std::wstring& drive : FixedDrives()) {
        const std::wstring candidate = AppendPath(AppendPath(drive, kMakerFolder), folder);
        if (IsDirWritable(candidate)) return candidate;
    }
    return {};
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
