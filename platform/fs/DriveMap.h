// The drive map: which host directory each Windows drive letter stands for.
//
// Every file, directory, volume and process call of the layer takes Windows-form
// paths and converts them here. Default map: C: is $HOME, Z: is / (present, but
// never reported as a fixed drive). $XDG_CONFIG_HOME/xjinstaller/drives.ini adds
// or replaces letters in its [Drives] section ("D=/mnt/games").
//
// Any thread may call these. The map is rebuilt when HOME or XDG_CONFIG_HOME
// change, or on ReloadDriveMap() (tests edit drives.ini and call it).
// Conversion is lexical: symbolic links are not resolved, except that WinPath
// also recognises a drive's root by its real path. Names convert as
// WideFromHostName / HostNameFromWide do (StringConv.h), so a host name holding a
// backslash or bytes that are not UTF-8 stays one component, and round-trips.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DriveMapping {
    wchar_t letter = L'C';    // upper case
    std::string root;         // absolute, normalised host directory
    bool neverFixed = false;  // the whole host tree (Z:) must never be proposed for an install
};

// "X:\a\b" (either separator, letter in any case) -> host path. "." and ".." are
// resolved without leaving the drive root; repeated and trailing separators are
// dropped. Fails (nullopt) for an unmapped letter, a path without a drive letter
// (relative, UNC, host form) or an embedded NUL.
std::optional<std::string> HostPath(std::wstring_view winPath);

// Host path -> "X:\a\b" under the drive with the longest matching root (ties go
// to the earlier letter). Relative paths are taken from the current directory.
// A drive root comes back with its backslash ("C:\"). Empty only when no drive
// covers the path (Z: covers everything unless drives.ini replaces it).
std::wstring WinPath(std::string_view hostPath);

// The mappings in letter order.
std::vector<DriveMapping> DriveMappings();
std::optional<DriveMapping> FindDrive(wchar_t letter);

// Forgets the cached map; the next call reads the environment and drives.ini again.
void ReloadDriveMap();

// $XDG_CONFIG_HOME/xjinstaller (default ~/.config/xjinstaller): the folder of
// drives.ini and the registry hives.
std::string ConfigDirectory();

// Lexically normalised absolute host path ("/a/./b//../c/" -> "/a/c").
std::string NormaliseHostPath(std::string_view hostPath);

}  // namespace platform
