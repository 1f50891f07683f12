// Whole-file reads and atomic replacement, for the ini files and registry hives.
//
// A replacement writes a sibling temporary file ("<name>.xjtmp-XXXXXX"), syncs it
// and renames it over the target, so a reader or a crash sees the old file or the
// new one, never a mix. An update (read, change, replace) holds an exclusive
// advisory lock (flock) on the file throughout, so updaters in every process take
// turns and none overwrites another's change; readers need no lock. Any thread
// may call; results are errno values (0 on success).
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

enum class UpdateAction { Keep, Replace };

// Reads the file (a symbolic link is followed and survives) and hands its bytes to
// `edit`, empty with `exists` false when there is no file; when `edit` returns
// Replace, replaces the file with the changed bytes. The lock needs a file: a
// missing one is created empty for the time of the update and removed again when
// nothing is written. Temporary files of this file's pattern left by interrupted
// replacements are removed under the lock, when no other updater can be writing
// one. The read errors are ReadWholeFile's.
[[nodiscard]] int UpdateFileAtomically(const std::string& hostPath,
                                       const std::function<UpdateAction(std::string& bytes, bool exists)>& edit);

// Replaces the file without the lock or the clean-up: for a file with one writer.
// Keeps the permissions of the file it replaces (0666 less the umask for a new one).
[[nodiscard]] int WriteFileAtomically(const std::string& hostPath, std::string_view bytes);

// Runs between the synced temporary file and the rename; tests use it to stop a
// write there. Pass an empty function to remove it.
void SetAtomicWriteHookForTesting(std::function<void(const std::string& tempPath)> hook);

}  // namespace platform
