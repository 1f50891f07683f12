#include "platform/profile/ProfileApi.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/fs/AtomicFile.h"
#include "platform/fs/PathError.h"
#include "platform/profile/IniDocument.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

// The value, or nullopt with the last error set (2 or 3 for a missing file or folder).
std::optional<std::wstring> ReadValue(LPCWSTR section, LPCWSTR key, LPCWSTR fileName) {
    const auto host = HostPathOrFail(fileName);
    if (!host) return std::nullopt;
    std::string bytes;
    if (const int error = ReadWholeFile(*host, &bytes)) {
        SetLastErrorForPath(error, *host);
        return std::nullopt;
    }
    auto value = CIniDocument(std::move(bytes)).Get(section, key);
    SetLastError(value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return value;
}

bool HasLineBreak(std::wstring_view s) {
    return s.find_first_of(L"\r\n") != std::wstring_view::npos;
}

// A key line must read back as that key: not a section header, not a comment.
bool IsWritableKey(std::wstring_view key) {
    const auto first = key.find_first_not_of(L" \t");
    if (first != std::wstring_view::npos && (key[first] == L'[' || key[first] == L';')) return false;
    return !HasLineBreak(key) && key.find(L'=') == std::wstring_view::npos;
}

}  // namespace
}  // namespace platform

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName) {
    if (!buffer || size == 0) return 0;
    if (!section || !key) {
        buffer[0] = L'\0';
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD error = GetLastError();
    const auto value = platform::ReadValue(section, key, fileName);
    const DWORD readError = GetLastError();
    const std::wstring text = value ? *value : std::wstring(defaultValue ? defaultValue : L"");
    const size_t copied = std::min<size_t>(text.size(), size - 1);
    text.copy(buffer, copied);
    buffer[copied] = L'\0';
    SetLastError(value ? error : readError);
    return static_cast<DWORD>(copied);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
    if (!section || !key) return static_cast<UINT>(defaultValue);
    const auto value = platform::ReadValue(section, key, fileName);
    if (!value) return static_cast<UINT>(defaultValue);
    size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'-' || (*value)[i] == L'+')) negative = (*value)[i++] == L'-';
    uint32_t n = 0;
    for (; i < value->size() && (*value)[i] >= L'0' && (*value)[i] <= L'9'; ++i) {
        n = n * 10 + static_cast<uint32_t>((*value)[i] - L'0');  // wraps like the C runtime's conversion
    }
    return negative ? 0u - n : n;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    if (!section) {
        // All three null only asks to flush a cache, and there is none.
        if (!key && !value) return TRUE;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring_view sectionText(section);
    if (platform::HasLineBreak(sectionText) || sectionText.find(L']') != std::wstring_view::npos ||
        (key && !platform::IsWritableKey(key)) || (value && platform::HasLineBreak(value))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto host = platform::HostPathOrFail(fileName);
    if (!host) return FALSE;

    struct stat st {};
    if ((!key || !value) && ::stat(host->c_str(), &st) != 0 && errno == ENOENT) return TRUE;  // nothing to remove
    const int error = platform::UpdateFileAtomically(*host, [&](std::string& bytes, bool) {
        platform::CIniDocument doc(std::move(bytes));
        if (!key) {
            if (!doc.RemoveSection(section)) return platform::UpdateAction::Keep;
        } else if (!value) {
            if (!doc.RemoveKey(section, key)) return platform::UpdateAction::Keep;
        } else {
            doc.Set(section, key, value);
        }
        bytes = doc.Bytes();
        return platform::UpdateAction::Replace;
    });
    if (error) {
        platform::SetLastErrorForPath(error, *host);
        return FALSE;
    }
    return TRUE;
}
