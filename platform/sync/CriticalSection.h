// CRITICAL_SECTION: a recursive in-process lock.
//
// Any thread may enter; the owner may enter again and must leave as often as it
// entered. RecursionCount is the owner's nesting depth: the owner may read it
// (callers keep their own counter beside it and compare). A section is neither
// copied nor moved, and must not be deleted while a thread holds it.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/types/WinTypes.h"

struct CRITICAL_SECTION {
    std::recursive_mutex Mutex;
    std::atomic<DWORD> OwningThread{0};  // GetCurrentThreadId() of the owner, 0 when free
    LONG RecursionCount = 0;             // written by the owner only
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
// Leaving a section the calling thread does not own is a programmer error: it
// asserts in debug builds and is ignored otherwise, so the real owner keeps it.
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
