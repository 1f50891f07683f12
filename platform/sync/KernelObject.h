// The process-wide table of kernel-object handles (files, events, mutexes,
// threads, processes). Any thread may register, look up, wait on and close
// handles. A handle number is never reused, so a stale handle fails cleanly
// (ERROR_INVALID_HANDLE) instead of reaching a newer object.
#pragma once

#include <memory>

#include "platform/types/WinTypes.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Blocks until the object is signalled (true) or `timeoutMs` passes (false).
    // Objects that cannot be waited on answer false at once.
    virtual bool WaitSignalled(DWORD timeoutMs);
    // Called when the last handle to the object is closed.
    virtual void OnClosed() {}
};

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupKernelObject(HANDLE handle);

template <typename T>
std::shared_ptr<T> LookupKernelObjectAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupKernelObject(handle));
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle);
// WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED with ERROR_INVALID_HANDLE.
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
