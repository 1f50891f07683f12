#include "platform/registry/Registry.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "platform/fs/AtomicFile.h"
#include "platform/fs/DriveMap.h"
#include "platform/registry/RegistryHive.h"
#include "platform/strings/StringConv.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

enum class HiveId { CurrentUser, LocalMachine };

struct OpenKey {
    HiveId hive;
    std::wstring path;
    REGSAM access;
};

struct KeyTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, OpenKey> keys;
    uintptr_t next = 0x1000;  // never reused, so a closed key fails cleanly
};

KeyTable& Keys() {
    static KeyTable* table = new KeyTable;
    return *table;
}

std::optional<OpenKey> Resolve(HKEY key) {
    if (key == HKEY_CURRENT_USER) return OpenKey{HiveId::CurrentUser, L"", KEY_ALL_ACCESS};
    if (key == HKEY_LOCAL_MACHINE) return OpenKey{HiveId::LocalMachine, L"", KEY_ALL_ACCESS};
    KeyTable& t = Keys();
    std::lock_guard lock(t.mutex);
    const auto it = t.keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == t.keys.end()) return std::nullopt;
    return it->second;
}

HKEY Register(OpenKey key) {
    KeyTable& t = Keys();
    std::lock_guard lock(t.mutex);
    const uintptr_t id = t.next;
    t.next += 4;
    t.keys.emplace(id, std::move(key));
    return reinterpret_cast<HKEY>(id);
}

std::string HiveFile(HiveId hive) {
    return ConfigDirectory() + (hive == HiveId::CurrentUser ? "/registry/HKCU.reg" : "/registry/HKLM.reg");
}

// The hive, or an error number (a missing file is an empty hive).
LSTATUS LoadHive(HiveId hive, std::optional<CRegistryHive>* out) {
    std::string text;
    const int error = ReadWholeFile(HiveFile(hive), &text);
    if (error && error != ENOENT) return static_cast<LSTATUS>(WinErrorFromErrno(error));
    *out = CRegistryHive::Parse(text);
    return *out ? ERROR_SUCCESS : static_cast<LSTATUS>(ERROR_BADDB);
}

// A key path is a section header line of the hive's text.
bool IsWritableKeyPath(std::wstring_view path) {
    return path.find_first_of(L"\r\n]") == std::wstring_view::npos;
}

std::wstring Join(const std::wstring& parent, LPCWSTR sub) {
    const std::wstring child = NormaliseKeyPath(sub ? sub : L"");
    if (parent.empty()) return child;
    return child.empty() ? parent : parent + L"\\" + child;
}

// Loads, edits and saves one hive, holding the hive file's update lock throughout.
template <typename Edit>
LSTATUS ChangeHive(HiveId hive, Edit edit) {
    const std::string path = HiveFile(hive);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    LSTATUS status = ERROR_SUCCESS;
    const int error = UpdateFileAtomically(path, [&](std::string& text, bool) {
        std::optional<CRegistryHive> data = CRegistryHive::Parse(text);
        if (!data) {
            status = ERROR_BADDB;
            return UpdateAction::Keep;
        }
        bool changed = false;
        status = edit(*data, changed);
        if (status != ERROR_SUCCESS || !changed) return UpdateAction::Keep;
        text = data->Serialise();
        return UpdateAction::Replace;
    });
    if (error) return static_cast<LSTATUS>(WinErrorFromErrno(error));
    return status;
}

}  // namespace
}  // namespace platform

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const auto parent = platform::Resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    const std::wstring path = platform::Join(parent->path, subKey);
    std::optional<platform::CRegistryHive> data;
    if (const LSTATUS error = platform::LoadHive(parent->hive, &data)) return error;
    if (!data->KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    *result = platform::Register(platform::OpenKey{parent->hive, path, desired});
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM desired, SECURITY_ATTRIBUTES*,
                        HKEY* result, DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const auto parent = platform::Resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    const std::wstring path = platform::Join(parent->path, subKey);
    if (!platform::IsWritableKeyPath(path)) return ERROR_INVALID_PARAMETER;
    bool created = false;
    const LSTATUS status =
        platform::ChangeHive(parent->hive, [&](platform::CRegistryHive& data, bool& changed) -> LSTATUS {
            if (data.FindKey(path) || path.empty()) return ERROR_SUCCESS;
            created = data.CreateKey(path);
            changed = true;
            return ERROR_SUCCESS;
        });
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = platform::Register(platform::OpenKey{parent->hive, path, desired});
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* cbData) {
    if (data && !cbData) return ERROR_INVALID_PARAMETER;
    const auto open = platform::Resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::optional<platform::CRegistryHive> hive;
    if (const LSTATUS error = platform::LoadHive(open->hive, &hive)) return error;
    const platform::RegistryKey* k = hive->FindKey(open->path);
    const platform::RegistryValue* v =
        k ? platform::CRegistryHive::FindValue(*k, valueName ? valueName : L"") : nullptr;
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;

    if (v->type == REG_DWORD) {
        if (data && *cbData < sizeof(DWORD)) {
            *cbData = sizeof(DWORD);
            return ERROR_MORE_DATA;
        }
        if (data) std::memcpy(data, &v->number, sizeof(DWORD));
        if (cbData) *cbData = sizeof(DWORD);
        return ERROR_SUCCESS;
    }
    const DWORD windowsSize = static_cast<DWORD>((platform::Utf16FromWide(v->text).size() + 1) * 2);
    if (data) {
        const size_t needed = (v->text.size() + 1) * sizeof(wchar_t);
        if (*cbData < needed) {
            *cbData = static_cast<DWORD>(needed);
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, v->text.c_str(), needed);
    }
    if (cbData) *cbData = windowsSize;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD cbData) {
    const auto open = platform::Resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (open->path.empty()) return ERROR_ACCESS_DENIED;  // no values on a hive's root
    platform::RegistryValue value;
    value.name = valueName ? valueName : L"";
    value.type = type;
    if (type == REG_SZ) {
        if (!data && cbData) return ERROR_INVALID_PARAMETER;
        // The bytes may not be aligned for wchar_t, so copy them out.
        std::wstring chars(cbData / sizeof(wchar_t), L'\0');
        if (!chars.empty()) std::memcpy(chars.data(), data, chars.size() * sizeof(wchar_t));
        value.text = chars.substr(0, chars.find(L'\0'));
    } else if (type == REG_DWORD) {
        if (!data || cbData != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
        std::memcpy(&value.number, data, sizeof(DWORD));
    } else {
        return ERROR_NOT_SUPPORTED;
    }
    return platform::ChangeHive(open->hive, [&](platform::CRegistryHive& hive, bool& changed) -> LSTATUS {
        if (!hive.KeyExists(open->path)) return ERROR_FILE_NOT_FOUND;  // gone since it was opened
        hive.CreateKey(open->path);
        platform::CRegistryHive::SetValue(*hive.FindKey(open->path), std::move(value));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    const auto open = platform::Resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return platform::ChangeHive(open->hive, [&](platform::CRegistryHive& hive, bool& changed) -> LSTATUS {
        platform::RegistryKey* k = hive.FindKey(open->path);
        if (!k || !platform::CRegistryHive::RemoveValue(*k, valueName ? valueName : L"")) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    platform::KeyTable& t = platform::Keys();
    std::lock_guard lock(t.mutex);
    return t.keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
