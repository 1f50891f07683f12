// The registry, kept in files: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are
// $XDG_CONFIG_HOME/xjinstaller/registry/HKCU.reg and HKLM.reg (see RegistryHive.h).
//
// Any thread may call. Each call reads the hive afresh, so another process's
// writes are seen at once; writes replace the hive atomically under an advisory
// lock on the hive file held from the read to the rename, so writers in any
// number of threads and processes lose no change (platform/fs/AtomicFile.h).
// Results are Windows error numbers (ERROR_SUCCESS, 2 when absent, 5 when the
// hive cannot be written or the key was opened without the right, 234 when a
// buffer is short, 1009 for a damaged hive, which is then never overwritten).
// The last error is not touched.
//
// Only REG_SZ and REG_DWORD values are kept. A REG_SZ value travels as a wchar_t
// string: `cbData` counts the bytes of the caller's buffer (4 per wchar_t here),
// while the sizes handed back are Windows' (UTF-16 units x 2, NUL included). A
// short buffer gets ERROR_MORE_DATA with the byte count it needs here.
#pragma once

#include "platform/types/WinTypes.h"

using LSTATUS = LONG;
using REGSAM = DWORD;

inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002));

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct SECURITY_ATTRIBUTES;

// A key exists when it was created or when a key below it was. A new key's name
// may not hold a line break or ']' (ERROR_INVALID_PARAMETER): the hive's text
// could not keep it.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, HKEY* result);
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options, REGSAM desired,
                        SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
// A null or empty name is the key's default value. With `data` null only the
// type and the size are returned.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData);
// REG_SZ: the text ends at the first NUL within cbData bytes. REG_DWORD: cbData is 4.
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD cbData);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
LSTATUS RegCloseKey(HKEY key);
