#include "platform/system/OsVersion.h"

#include <fstream>
#include <sstream>

namespace platform {

namespace {

// Shell-style value: double or single quotes around it, backslash escapes inside double quotes.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

std::optional<std::string> ReadPrettyName(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return ParseOsReleasePrettyName(text.str());
}

}  // namespace

std::optional<std::string> ParseOsReleasePrettyName(std::string_view text) {
    constexpr std::string_view kKey = "PRETTY_NAME=";
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!line.starts_with(kKey)) continue;
        std::string value = Unquote(line.substr(kKey.size()));
        if (value.empty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::optional<std::string> OsPrettyName(const char* path) {
    if (path) return ReadPrettyName(path);
    if (auto name = ReadPrettyName("/etc/os-release")) return name;
    return ReadPrettyName("/usr/lib/os-release");
}

}  // namespace platform
