#include "platform/registry/RegistryHive.h"

#include <cstdio>

#include "platform/registry/Registry.h"
#include "platform/strings/StringConv.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "XjRegistry 1";

std::string Quote(std::wstring_view text) {
    std::string out = "\"";
    for (const char c : Utf8FromWide(text)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

// Reads a quoted text at the front of `in` and removes it from `in`.
std::optional<std::wstring> Unquote(std::string_view& in) {
    if (in.empty() || in.front() != '"') return std::nullopt;
    std::string out;
    size_t i = 1;
    for (; i < in.size() && in[i] != '"'; ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) return std::nullopt;
        switch (in[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            default:
                return std::nullopt;
        }
    }
    if (i == in.size()) return std::nullopt;
    in.remove_prefix(i + 1);
    return WideFromUtf8(out);
}

std::optional<RegistryValue> ParseValue(std::string_view line) {
    RegistryValue value;
    if (!line.empty() && line.front() == '@') {
        line.remove_prefix(1);
    } else {
        auto name = Unquote(line);
        if (!name || name->empty()) return std::nullopt;
        value.name = std::move(*name);
    }
    if (line.substr(0, 4) == "=sz:") {
        line.remove_prefix(4);
        auto text = Unquote(line);
        if (!text || !line.empty()) return std::nullopt;
        value.type = REG_SZ;
        value.text = std::move(*text);
        return value;
    }
    if (line.substr(0, 7) == "=dword:" && line.size() == 15) {
        DWORD number = 0;
        for (const char c : line.substr(7)) {
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                return std::nullopt;
            }
            number = number << 4 | static_cast<DWORD>(digit);
        }
        value.type = REG_DWORD;
        value.number = number;
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::wstring NormaliseKeyPath(std::wstring_view path) {
    std::wstring out;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find(L'\\', pos);
        if (next == std::wstring_view::npos) next = path.size();
        if (next > pos) {
            if (!out.empty()) out += L'\\';
            out += path.substr(pos, next - pos);
        }
        pos = next + 1;
    }
    return out;
}

std::optional<CRegistryHive> CRegistryHive::Parse(std::string_view text) {
    CRegistryHive hive;
    bool headerSeen = false;
    RegistryKey* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!headerSeen) {
            if (line != kHeader) return std::nullopt;
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') return std::nullopt;
            std::wstring path = NormaliseKeyPath(WideFromUtf8(line.substr(1, line.size() - 2)));
            if (path.empty() || hive.FindKey(path)) return std::nullopt;
            current = &hive.AddKey(std::move(path));
            continue;
        }
        auto value = ParseValue(line);
        if (!current || !value || FindValue(*current, value->name)) return std::nullopt;
        SetValue(*current, std::move(*value));
    }
    return hive;
}

std::string CRegistryHive::Serialise() const {
    std::string out(kHeader);
    out += '\n';
    for (const auto& key : m_keys) {
        out += "\n[" + Utf8FromWide(key.path) + "]\n";
        for (const auto& v : key.values) {
            out += v.name.empty() ? "@" : Quote(v.name);
            if (v.type == REG_DWORD) {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08x", v.number);
                out += "=dword:";
                out += hex;
            } else {
                out += "=sz:" + Quote(v.text);
            }
            out += '\n';
        }
    }
    return out;
}

RegistryKey& CRegistryHive::AddKey(std::wstring path) {
    m_keyIndex.emplace(ToUpperSimple(path), m_keys.size());
    m_keys.push_back(RegistryKey{std::move(path), {}, {}});
    return m_keys.back();
}

bool CRegistryHive::KeyExists(std::wstring_view path) const {
    const std::wstring wanted = ToUpperSimple(NormaliseKeyPath(path));
    if (wanted.empty() || m_keyIndex.contains(wanted)) return true;
    // A parent of a created key exists too: one pass, as a call asks this once.
    for (const auto& key : m_keys) {
        if (key.path.size() > wanted.size() && key.path[wanted.size()] == L'\\' &&
            EqualsNoCase(std::wstring_view(key.path).substr(0, wanted.size()), wanted)) {
            return true;
        }
    }
    return false;
}

RegistryKey* CRegistryHive::FindKey(std::wstring_view path) {
    const auto it = m_keyIndex.find(ToUpperSimple(NormaliseKeyPath(path)));
    return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
}

const RegistryKey* CRegistryHive::FindKey(std::wstring_view path) const {
    return const_cast<CRegistryHive*>(this)->FindKey(path);
}

bool CRegistryHive::CreateKey(std::wstring_view path) {
    const bool existed = KeyExists(path);
    std::wstring normalised = NormaliseKeyPath(path);
    if (!normalised.empty() && !FindKey(normalised)) AddKey(std::move(normalised));
    return !existed;
}

const RegistryValue* CRegistryHive::FindValue(const RegistryKey& key, std::wstring_view name) {
    const auto it = key.valueIndex.find(ToUpperSimple(name));
    return it == key.valueIndex.end() ? nullptr : &key.values[it->second];
}

void CRegistryHive::SetValue(RegistryKey& key, RegistryValue value) {
    const auto [it, added] = key.valueIndex.emplace(ToUpperSimple(value.name), key.values.size());
    if (added) {
        key.values.push_back(std::move(value));
    } else {
        key.values[it->second] = std::move(value);
    }
}

bool CRegistryHive::RemoveValue(RegistryKey& key, std::wstring_view name) {
    const auto it = key.valueIndex.find(ToUpperSimple(name));
    if (it == key.valueIndex.end()) return false;
    const size_t at = it->second;
    key.valueIndex.erase(it);
    key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(at));
    for (auto& [folded, position] : key.valueIndex) {
        if (position > at) --position;
    }
    return true;
}

}  // namespace platform
