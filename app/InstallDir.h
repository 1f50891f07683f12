// The install directory rules the hidden install needs, and the path helpers beside them.
//
// Paths are Windows form (see platform/fs/DriveMap.h). Any thread; the file system is
// touched only where a function says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Room an install needs on its volume.
inline constexpr std::uint64_t kRequiredInstallBytes = 419430400;  // 400 MiB

// True when the volume of `path` has more than kRequiredInstallBytes free.
bool HasEnoughFreeSpace(const std::wstring& path);
// A directory can take the install: writable, then enough free space.
bool IsUsableInstallDir(const std::wstring& path);

// The hidden install's proposal for `folder`: "<parent of the program's folder>\<folder>"
// when usable, else "<fixed drive>Quorvel网络\<folder>" on the first fixed drive (in the
// drive list's order) where that can be written; empty when neither.
std::wstring MakeDefaultInstallDir(const std::wstring& programDir, const std::wstring& folder);

// The directory of a file path: '/' made '\', one trailing '\' dropped, cut at the last
// '\'; empty for an empty path or one without a separator ("C:/a/b/" gives "C:\a").
std::wstring GetParentPath(std::wstring_view path);
// Position of the last `pattern` in `text`, or npos.
std::size_t FindLast(std::wstring_view text, std::wstring_view pattern);
// `text` up to the last `pattern`; all of it when the pattern does not occur.
std::wstring TextBeforeLast(std::wstring_view text, std::wstring_view pattern);
// Whether two directory paths name the same folder: separators of either kind, trailing
// ones ignored, the drive letter in any case, the rest in the file system's case.
bool SameDirectory(std::wstring_view a, std::wstring_view b);
