// Mutex objects: CreateMutexW, ReleaseMutex; acquired with WaitForSingleObject
// or WaitForMultipleObjects, closed with CloseHandle.
//
// Ownership (waits and ReleaseMutex) is per thread and recursive, within this
// process. A named mutex is also a single-instance lock between processes: the
// first handle to the name takes an exclusive flock on a file named after it in
// $XDG_RUNTIME_DIR (else /tmp, with the user id in the file name) and keeps it
// until the last handle of this process to that name is closed. When another
// live process holds the lock, CreateMutexW still returns a handle and sets
// ERROR_ALREADY_EXISTS, as Windows does; a crash of the holder releases the lock
// with the process. Deleting or replacing the lock file while it is held does not
// let a second instance in: a new lock is good only while its file is the one the
// path names, and only when no live process still holds a deleted earlier file
// of that path (found through /proc/<pid>/fd, so only our own user's processes).
// Across processes only this existence is visible: a wait never blocks on an
// owner in another process. A thread that ends while owning a mutex leaves it
// owned (there is no WAIT_ABANDONED hand-over).
//
// Any thread may call these. Failures return a null handle or FALSE with the
// thread's last error set; a successful create of a new mutex sets ERROR_SUCCESS,
// so callers may test GetLastError() == ERROR_ALREADY_EXISTS right after it.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/sync/KernelObject.h"

// `securityAttributes` is ignored. `initialOwner` takes ownership for the calling
// thread only when this call creates the mutex (ignored for an existing one).
// A name that cannot become a file name (too long) fails with
// ERROR_FILENAME_EXCED_RANGE; a lock file that cannot be opened, or is owned by
// another user, fails with the mapped system error (ERROR_ACCESS_DENIED).
HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, LPCWSTR name);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

namespace platform {

// Where the lock file of the named mutex `name` lives; empty when the name cannot
// be a file name. Names are escaped so that no name reaches outside the directory.
std::filesystem::path MutexLockFilePath(std::wstring_view name);

}  // namespace platform
