// The install directory rules: the proposals of the install click and of the hidden
// install, the check behind the main window's disk-space line, and the path helpers beside
// them.
//
// Paths are Windows form (see platform/fs/DriveMap.h); drives are the drive map's letters.
// Any thread; the file system is touched only where a function says so. Free space comes
// from the volume (GetDiskFreeSpaceExW) unless a test has put its own source in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Room an install needs on its volume.
inline constexpr std::uint64_t kRequiredInstallBytes = 419430400;  // 400 MiB

// The free bytes of the volume that holds a path; 0 when unknown.
using FreeSpaceSource = std::function<std::uint64_t(const std::wstring& path)>;
// Installs `source` for every rule below (empty: the volume's own figure again) and
// returns the previous one.
FreeSpaceSource SetFreeSpaceSourceForTesting(FreeSpaceSource source);
std::uint64_t InstallVolumeFreeBytes(const std::wstring& path);

// True when the volume of `path` has more than kRequiredInstallBytes free.
bool HasEnoughFreeSpace(const std::wstring& path);
// A directory can take the install: a valid install path, writable, then with enough
// free space.
bool IsUsableInstallDir(const std::wstring& path);

// "QuorvelTarnvik", or "Tarnvik内部版" for the internal edition.
std::wstring EditionFolderName(bool internalEdition);
// "Quorvel网络\QuorvelTarnvik", or "Quorvel网络\Tarnvik内部版" for the internal edition.
std::wstring ProductFolder(bool internalEdition);
// The product folder on the first of D:, E:, C:, F:, G: that exists; empty when none does.
// Nothing is checked beyond the drive's existence.
std::wstring DefaultFolderName(bool internalEdition);
// The install click's proposal: `current` when usable; else the product folder on the
// first of D:, E:, C:, F:, G: where it is usable; else on the first other fixed drive of
// the drive list where it is usable; else empty.
std::wstring ChooseInstallDrive(const std::wstring& current, bool internalEdition);

// What the disk-space line says of a directory the user typed. The codes are the line's
// message numbers.
enum class InstallDirProblem { None = 0, Invalid = 1, NoSpace = 2, NotWritable = 3 };
struct InstallDirCheck {
    InstallDirProblem problem = InstallDirProblem::None;
    std::uint64_t freeBytes = 0;
};
// Invalid path or missing drive, then less than kRequiredInstallBytes free (exactly that
// much is enough here), then not writable.
InstallDirCheck CheckInstallDir(const std::wstring& path);
// The line's text: the required and the free space, or the problem's message.
std::wstring DiskSpaceText(const InstallDirCheck& check);

// The hidden install's proposal for `folder`: "<parent of the program's folder>\<folder>"
// when usable, else "<fixed drive>Quorvel网络\<folder>" on the first fixed drive (in the
// drive list's order) where that can be written; empty when neither, and when `folder` is
// no single name a folder can have ("", ".", "..", separators, characters Windows forbids).
std::wstring MakeDefaultInstallDir(const std::wstring& programDir, const std::wstring& folder);
// The folder name a hidden install falls back to for an install path it cannot use: the
// path's last component, after trailing separators; the edition's folder name when that
// leaves no name a folder can have ("D:\" or "D:\a\..").
std::wstring FallbackFolderName(std::wstring_view path, bool internalEdition);

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
