// Threads and thread/process ids.
//
// CreateThread starts the routine on a new thread at once and returns a handle
// that is signalled when the routine has returned and the thread's own state
// (thread_local objects: its message queue and windows) is gone; the thread runs on whether
// or not the handle stays open, and its state lives until both are done. Any
// thread may wait on the handle or read the exit code.
//
// A thread cannot be killed safely on Linux. TerminateThread therefore stops
// nothing: it returns FALSE with ERROR_NOT_SUPPORTED. An owner whose thread does
// not end within its stop time-out leaves it running, logs that, and keeps every
// state the thread touches alive by reference count rather than freeing it.
#pragma once

#include <cstddef>

#include "platform/sync/KernelObject.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD CREATE_SUSPENDED = 0x4;
inline constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x10000;

// `stackSize` 0 takes the default. CREATE_SUSPENDED is not supported
// (ERROR_NOT_SUPPORTED); other unknown flags fail with ERROR_INVALID_PARAMETER.
// `threadId`, when given, receives the id that GetCurrentThreadId returns on the
// new thread. `securityAttributes` is ignored.
HANDLE CreateThread(void* securityAttributes, std::size_t stackSize, LPTHREAD_START_ROUTINE startAddress,
                    LPVOID parameter, DWORD creationFlags, DWORD* threadId);

// STILL_ACTIVE while the routine runs, then its return value.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Always FALSE with ERROR_NOT_SUPPORTED (ERROR_INVALID_HANDLE for a handle that is no thread).
BOOL TerminateThread(HANDLE thread, DWORD exitCode);

// A small number, stable for the thread's life, never 0 and never given to two
// threads of this process. It is not the kernel's thread id.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
