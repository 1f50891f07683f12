#include "commonlib/util/PathString.h"

#include <algorithm>
#include <array>

namespace {

std::wstring Normalised(std::wstring_view path) {
    std::wstring copy(path);
    std::replace(copy.begin(), copy.end(), L'/', L'\\');
    return copy;
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool IsReservedDeviceName(std::wstring_view part) {
    // Windows maps these names to devices whatever extension follows.
    const std::wstring_view stem = part.substr(0, part.find(L'.'));
    std::wstring upper(stem);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    static constexpr std::array<std::wstring_view, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end()) return true;
    return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) && upper[3] >= L'1' &&
           upper[3] <= L'9';
}

bool HasForbiddenCharacter(std::wstring_view part) {
    return std::any_of(part.begin(), part.end(), [](wchar_t c) {
        return (c >= 1 && c <= 31) || std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos;
    });
}

}  // namespace

std::wstring GetDirectoryPart(std::wstring_view path) {
    const std::wstring normalised = Normalised(path);
    const size_t last = normalised.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : normalised.substr(0, last);
}

std::wstring GetParentDir(std::wstring_view path) {
    std::wstring normalised = Normalised(path);
    while (!normalised.empty() && normalised.back() == L'\\')
        normalised.pop_back();
    return GetDirectoryPart(normalised);
}

std::wstring GetLastPathComponent(std::wstring_view path) {
    const std::wstring normalised = Normalised(path);
    const size_t last = normalised.rfind(L'\\');
    return last == std::wstring::npos ? normalised : normalised.substr(last + 1);
}

bool IsValidPath(std::wstring_view path) {
    const size_t firstSeparator = path.find(L'\\');
    const std::wstring_view drive = path.substr(0, firstSeparator);
    if (drive.size() != 2 || !IsAsciiLetter(drive[0]) || drive[1] != L':') return false;
    if (firstSeparator == std::wstring_view::npos) return true;
    std::wstring_view rest = path.substr(firstSeparator + 1);
    for (;;) {
        const size_t next = rest.find(L'\\');
        const std::wstring_view part = rest.substr(0, next);
        if (HasForbiddenCharacter(part) || IsReservedDeviceName(part)) return false;
        if (next == std::wstring_view::npos) return true;
        rest.remove_prefix(next + 1);
    }
}
