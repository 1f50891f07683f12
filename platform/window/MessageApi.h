// Messages, queues and timers at the Win32 edge.
//
// PostMessageW, PostThreadMessageW, SendMessageW, SetTimer and KillTimer may be
// called from any thread. GetMessageW, PeekMessageW and DispatchMessageW work
// on the calling thread's own queue (made on first use) and may nest inside a
// window procedure (modal loops). SendMessageW to another thread's window
// waits for the reply and meanwhile delivers messages sent to the caller.
// Failures return FALSE or 0 with the thread's last error set.
#pragma once

#include "platform/window/WinMessages.h"
#include "platform/window/WindowTypes.h"

// FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that does not exist (or
// whose thread has ended). A null window posts to the calling thread.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_INVALID_THREAD_ID when the thread has no queue.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure's result; 0 with ERROR_INVALID_WINDOW_HANDLE for a dead window.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Blocks for the next message: TRUE, FALSE for WM_QUIT, -1 with
// ERROR_INVALID_WINDOW_HANDLE when `hwnd` is not a window of this thread.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
// PM_REMOVE or PM_NOREMOVE (PM_NOYIELD is accepted and ignored); FALSE when nothing waits.
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// For WM_KEYDOWN / WM_SYSKEYDOWN posts WM_CHAR / WM_SYSCHAR, one a character
// (a wide character: UTF-32 here, not UTF-16 units) of what the key typed. TRUE
// for the four key messages, FALSE for others.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure, or for WM_TIMER with a procedure in lParam that
// procedure, if it belongs to a live timer of that window or thread.
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);
// Time (ms of the monotonic clock) of the last message this thread retrieved.
LONG GetMessageTime();

// Same name (without case) gives the same number, from 0xC000; 0 with
// ERROR_INVALID_PARAMETER for an empty name.
UINT RegisterWindowMessageW(LPCWSTR name);

// Window timer (hwnd set): WM_TIMER to the window every `elapseMs` (clamped to
// 10 ms .. 0x7FFFFFFF); setting an existing id replaces it. Thread timer
// (hwnd null): returns a new id unless `id` is one of the calling thread's
// timers. Timer messages come only when the queue is otherwise empty and never
// pile up. 0 with ERROR_INVALID_WINDOW_HANDLE for a dead window.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
// FALSE with ERROR_INVALID_PARAMETER when no such timer exists.
BOOL KillTimer(HWND hwnd, UINT_PTR id);
