// Whole-file reads and atomic replacement, for the ini files and registry hives.
//
// A replacement writes a sibling temporary file, syncs it and renames it over the
// target, so a reader or a crash sees the old file or the new one, never a mix.
// Any thread may call; results are errno values (0 on success).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t kMaxWholeFileBytes = 16 * 1024 * 1024;

// ENOENT when the file does not exist, EISDIR for a directory, EACCES for anything
// else that is not a regular file (a FIFO or a device is never opened for
// reading), EFBIG past kMaxWholeFileBytes.
[[nodiscard]] int ReadWholeFile(const std::string& hostPath, std::string* bytes);

// Keeps the permissions of the file it replaces (0666 less the umask for a new one).
[[nodiscard]] int WriteFileAtomically(const std::string& hostPath, std::string_view bytes);

// Runs between the synced temporary file and the rename; tests use it to stop a
// write there. Pass an empty function to remove it.
void SetAtomicWriteHookForTesting(std::function<void(const std::string& tempPath)> hook);

}  // namespace platform
