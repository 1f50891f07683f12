// The operating system's name, as the version functions would give it on Windows.
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

}  // namespace platform
