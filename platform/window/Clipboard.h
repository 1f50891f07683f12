// Global memory blocks and the clipboard, within the process.
//
// Any thread. The clipboard is opened by one thread at a time (OpenClipboard
// fails on another until CloseClipboard); SetClipboardData hands the block to
// the clipboard, which frees it when the data is replaced or emptied.
// CF_UNICODETEXT data is a terminated string of wide characters (wchar_t, UTF-32
// here). Handles are checked, so a stale or made-up one fails instead of being
// used. Failures return null or FALSE with the last error set.
#pragma once

#include <cstddef>

#include "platform/window/DisplayTypes.h"

// GMEM_FIXED/GMEM_MOVEABLE with GMEM_ZEROINIT; the handle is the same either way.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// Null on success, the handle when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL memory);
LPVOID GlobalLock(HGLOBAL memory);
// FALSE (with ERROR_SUCCESS) once the lock count is back at zero.
BOOL GlobalUnlock(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Only while open; the opener becomes the owner.
BOOL EmptyClipboard();
// Only while open. Returns `memory`, which then belongs to the clipboard.
HANDLE SetClipboardData(UINT format, HANDLE memory);
// Only while open; the block stays the clipboard's.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
HWND GetClipboardOwner();
