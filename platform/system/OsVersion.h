// The operating system's name and version numbers, as the version functions would give
// them on Windows.
//
// Any thread may call; the files are read at each call.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// PRETTY_NAME of an os-release text (quotes and backslash escapes removed); nullopt
// when the key is missing or its value empty.
std::optional<std::string> ParseOsReleasePrettyName(std::string_view text);

// The PRETTY_NAME of /etc/os-release, else of /usr/lib/os-release (UTF-8); nullopt
// when neither file gives one. `path` overrides the files, for tests.
std::optional<std::string> OsPrettyName(const char* path = nullptr);

struct OsVersionNumbers {
    int major = 0;
    int minor = 0;
    friend bool operator==(const OsVersionNumbers&, const OsVersionNumbers&) = default;
};

// The first two numbers of VERSION_ID ("12" is 12.0, "22.04" is 22.4); nullopt when the
// key is missing or does not start with a number.
std::optional<OsVersionNumbers> ParseOsReleaseVersionId(std::string_view text);
// The same from the files OsPrettyName reads; 0.0 when neither gives one.
OsVersionNumbers OsVersion(const char* path = nullptr);

}  // namespace platform
