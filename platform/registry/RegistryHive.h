// One registry hive file and its text form.
//
//   XjRegistry 1
//   [Software\QuorvelLauncher]
//   "InstPath"=sz:"D:\\Games\\Quorvel"
//   "Count"=dword:0000000a
//   @=sz:"the default value"
//
// UTF-8; one section per key path; names and texts quoted with \\ \" \r \n
// escapes. Key paths and value names match without regard to case. Anything the
// parser does not understand makes the whole hive damaged: it is then neither
// read nor rewritten, so nothing in it is lost. Not thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/WinTypes.h"

namespace platform {

struct RegistryValue {
    std::wstring name;  // empty for the default value
    DWORD type = 0;     // REG_SZ or REG_DWORD
    std::wstring text;
    DWORD number = 0;
};

struct RegistryKey {
    std::wstring path;  // "Software\QuorvelLauncher", as first created
    std::vector<RegistryValue> values;
};

class CRegistryHive {
public:
    // nullopt for a damaged text; an empty text is an empty hive.
    static std::optional<CRegistryHive> Parse(std::string_view text);
    std::string Serialise() const;

    bool KeyExists(std::wstring_view path) const;
    RegistryKey* FindKey(std::wstring_view path);
    const RegistryKey* FindKey(std::wstring_view path) const;
    // Returns true when the key was new.
    bool CreateKey(std::wstring_view path);

    static const RegistryValue* FindValue(const RegistryKey& key, std::wstring_view name);
    static void SetValue(RegistryKey& key, RegistryValue value);
    static bool RemoveValue(RegistryKey& key, std::wstring_view name);

private:
    std::vector<RegistryKey> m_keys;
};

// "a\\b\\" -> "a\b"; empty parts are dropped.
std::wstring NormaliseKeyPath(std::wstring_view path);

}  // namespace platform
