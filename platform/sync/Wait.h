// Waiting on several kernel objects at once, and the timed-wait helper the
// objects of this directory share.
//
// Any thread may wait. Objects that become signalled call NotifyWaiters() after
// changing their state, so a multi-object wait wakes at once; objects that do
// not (files, processes from other areas) are still seen, by a re-check at
// least every kMultiWaitPollMs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/sync/KernelObject.h"

inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Any-of waits only: `waitAll` TRUE fails with ERROR_NOT_SUPPORTED, because taking
// several auto-reset objects at once cannot be made atomic over this handle table.
// Returns WAIT_OBJECT_0 + the index of the first signalled handle (in handle order),
// WAIT_TIMEOUT, or WAIT_FAILED (ERROR_INVALID_PARAMETER for a bad count or array,
// ERROR_INVALID_HANDLE for an unknown handle).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs);

namespace platform {

inline constexpr DWORD kMultiWaitPollMs = 10;

// Wakes every multi-object wait so it re-checks its objects.
void NotifyWaiters();

// Waits on `cv` until `ready()` holds or `timeoutMs` passes (INFINITE waits for ever).
template <typename Ready>
bool WaitWithTimeout(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Ready ready) {
    if (timeoutMs == INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

}  // namespace platform
