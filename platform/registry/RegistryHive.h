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
// read nor rewritten, so nothing in it is lost. Lookups are hashed on the names
// upper-cased (ToUpperSimple), so parsing and every lookup stay linear however
// many keys and values the hive holds. Not thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::wstring path;                  // "Software\QuorvelLauncher", as first created
    std::vector<RegistryValue> values;  // change them only through CRegistryHive, which keeps the index
    std::unordered_map<std::wstring, size_t> valueIndex;  // upper-cased name -> position in `values`
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
    RegistryKey& AddKey(std::wstring path);

    std::vector<RegistryKey> m_keys;                      // in the order created, which is the text's order
    std::unordered_map<std::wstring, size_t> m_keyIndex;  // upper-cased path -> position in m_keys
};

// "a\\b\\" -> "a\b"; empty parts are dropped.
std::wstring NormaliseKeyPath(std::wstring_view path);

}  // namespace platform
