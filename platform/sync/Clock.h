// Clocks and sleeping. Every function is safe on any thread and never fails,
// except where noted.
//
// The tick counts and the performance counter run on the monotonic clock, so a
// change of the wall clock never moves them; GetTickCount wraps at 2^32 ms
// (about 49.7 days) and callers subtract ticks as unsigned 32-bit numbers.
#pragma once

#include "platform/types/WinTypes.h"

void Sleep(DWORD milliseconds);

DWORD GetTickCount();
ULONGLONG GetTickCount64();

// The local wall-clock time (time zone from TZ, as the C library sees it).
void GetLocalTime(SYSTEMTIME* time);

// Nanoseconds of the monotonic clock; the frequency is 10^9. FALSE with
// ERROR_INVALID_PARAMETER only for a null pointer.
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
