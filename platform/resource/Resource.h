// Resources linked into the program: FindResourceW / LoadResource /
// LockResource / SizeofResource / FreeResource, GetModuleHandleW(nullptr), and
// the registration behind them.
//
// Entries come from files embedded at build time (xj_embed_resources in CMake,
// registered before main runs) and from RegisterResource at run time. Any thread
// may register and look up. Registered bytes are never freed or moved, so a
// pointer from LockResource stays valid for the life of the process, even when
// a later registration replaces the entry under the same type and name.
//
// Names and types are either integer ids (MAKEINTRESOURCEW) or strings compared
// without case; the string "#123" means the id 123. Failures return a null
// handle (or 0) with the thread's last error set: ERROR_RESOURCE_TYPE_NOT_FOUND
// when no resource has the type, ERROR_RESOURCE_NAME_NOT_FOUND when the type
// exists but not the name, ERROR_RESOURCE_DATA_NOT_FOUND for a module other than
// the program, ERROR_INVALID_HANDLE for a handle that came from nowhere here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/types/WinTypes.h"

inline LPWSTR MAKEINTRESOURCEW(WORD id) {
    return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR value) {
    return (reinterpret_cast<ULONG_PTR>(value) >> 16) == 0;
}

// The standard integer types the program uses.
inline const LPCWSTR RT_ICON = MAKEINTRESOURCEW(3);
inline const LPCWSTR RT_STRING = MAKEINTRESOURCEW(6);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);
inline const LPCWSTR RT_GROUP_ICON = MAKEINTRESOURCEW(14);

// The program's own module: the only module that carries resources. Any
// non-null name fails with ERROR_MOD_NOT_FOUND.
HMODULE GetModuleHandleW(LPCWSTR moduleName);

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The bytes of a loaded resource (never null for a valid handle, even when empty).
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Nothing to free: returns FALSE, as on current Windows.
BOOL FreeResource(HGLOBAL loaded);

namespace platform {

// True for the program's module and for null, which stands for it.
bool IsProgramModule(HMODULE module);

// A resource type or name: an integer id 1..65535 or a non-empty string.
class ResourceName {
public:
    ResourceName(int id);            // NOLINT: implicit, so ids read as in MAKEINTRESOURCE
    ResourceName(LPCWSTR nameOrId);  // NOLINT: implicit, accepts MAKEINTRESOURCEW values

    bool Valid() const { return !m_key.empty(); }
    // The form lookups compare: "#<id>" for ids, upper case for strings; empty when invalid.
    const std::wstring& Key() const { return m_key; }

private:
    std::wstring m_key;
};

// Copies `bytes`. Replaces an entry of the same type and name. FALSE with
// ERROR_INVALID_PARAMETER for an invalid type or name.
bool RegisterResource(const ResourceName& type, const ResourceName& name, std::string_view bytes);
// For data with static storage duration (the embedded files): nothing is copied.
bool RegisterEmbeddedResource(const ResourceName& type, const ResourceName& name, const unsigned char* data,
                              std::size_t size);
// Removes the entry, so lookups fail as for a resource never carried; handles and data
// handed out earlier stay valid. Returns whether an entry was there. Lets tests drive a
// caller's "resource missing" path in an executable that embeds the resource.
bool UnregisterResource(const ResourceName& type, const ResourceName& name);

}  // namespace platform
