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

std::optional<std::string> ReadOsRelease(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<std::string> ReadPrettyName(const char* path) {
    const auto text = ReadOsRelease(path);
    return text ? ParseOsReleasePrettyName(*text) : std::nullopt;
}

// The unquoted value of the first line that sets `key`; nullopt when there is none.
std::optional<std::string> ParseOsReleaseValue(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!line.starts_with(key) || line.size() == key.size() || line[key.size()] != '=') continue;
        return Unquote(line.substr(key.size() + 1));
    }
    return std::nullopt;
}

// Leading decimal digits of `text` from `pos`, capped so that no text overflows.
bool ReadNumber(std::string_view text, size_t& pos, int& value) {
    const size_t start = pos;
    value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value < 100000000 ? value * 10 + (text[pos] - '0') : value;
    return pos > start;
}

}  // namespace

std::optional<std::string> ParseOsReleasePrettyName(std::string_view text) {
    auto value = ParseOsReleaseValue(text, "PRETTY_NAME");
    if (!value || value->empty()) return std::nullopt;
    return value;
}

std::optional<OsVersionNumbers> ParseOsReleaseVersionId(std::string_view text) {
    const auto value = ParseOsReleaseValue(text, "VERSION_ID");
    if (!value) return std::nullopt;
    OsVersionNumbers numbers;
    size_t pos = 0;
    if (!ReadNumber(*value, pos, numbers.major)) return std::nullopt;
    if (pos < value->size() && (*value)[pos] == '.') {
        ++pos;
        ReadNumber(*value, pos, numbers.minor);
    }
    return numbers;
}

OsVersionNumbers OsVersion(const char* path) {
    const auto fromFile = [](const char* file) -> std::optional<OsVersionNumbers> {
        const auto text = ReadOsRelease(file);
        return text ? ParseOsReleaseVersionId(*text) : std::nullopt;
    };
    if (path) return fromFile(path).value_or(OsVersionNumbers{});
    if (const auto numbers = fromFile("/etc/os-release")) return *numbers;
    return fromFile("/usr/lib/os-release").value_or(OsVersionNumbers{});
}

std::optional<std::string> OsPrettyName(const char* path) {
    if (path) return ReadPrettyName(path);
    if (auto name = ReadPrettyName("/etc/os-release")) return name;
    return ReadPrettyName("/usr/lib/os-release");
}

}  // namespace platform
