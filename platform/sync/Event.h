// Event objects: CreateEventW, SetEvent, ResetEvent; waited on with
// WaitForSingleObject / WaitForMultipleObjects and closed with CloseHandle.
//
// Any thread may signal, reset or wait. A manual-reset event stays signalled
// and releases every waiter; an auto-reset event releases exactly one waiter and
// resets itself in the same step. Failures return a null handle or FALSE with
// the thread's last error set.
#pragma once

#include "platform/sync/KernelObject.h"

// Events are process-local: a non-null `name` fails with ERROR_NOT_SUPPORTED.
// `securityAttributes` is accepted for the callers' sake and ignored.
HANDLE CreateEventW(void* securityAttributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
