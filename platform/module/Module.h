// Loading code modules at run time: LoadLibraryW / GetProcAddress / FreeLibrary.
//
// A module is either a shared object on disk (dlopen of the mapped host path) or
// a built-in module: a named table of entry points compiled into the program that
// stands in for a system library this platform does not have. A bare name (no
// folder part) is looked up among the built-in modules first, ignoring case, then
// next to the program; a name with a folder is always a file.
//
// Any thread may call. Loading the same module twice gives the same handle and
// counts; the module goes away when FreeLibrary has balanced every load. Removing
// a built-in entry does not disturb handles already given out, so tests can drive
// a caller's "library missing" path without pulling a table from under a user.
// Failures return null / FALSE with the thread's last error: ERROR_MOD_NOT_FOUND,
// ERROR_PROC_NOT_FOUND, ERROR_INVALID_HANDLE, ERROR_BAD_EXE_FORMAT for a file
// that is not a loadable module or not a regular file at all (a pipe, a device or a
// folder is never opened).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/types/WinTypes.h"

// Untyped entry point; callers cast it to the real signature. void(*)() is the
// form compilers accept as a generic function pointer without warnings.
using FARPROC = void (*)();

HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

namespace platform {

// Converts any function pointer to the untyped entry-point form, as the
// module table stores it.
template <typename F>
FARPROC AsProc(F* function) {
    return reinterpret_cast<FARPROC>(function);
}

// Adds or replaces the built-in module `name` (a bare file name such as
// "riched20.dll"). Returns false for an empty name or one with a folder part.
bool RegisterBuiltinModule(std::wstring_view name, std::initializer_list<std::pair<const char*, FARPROC>> exports);
// Returns whether an entry was there.
bool UnregisterBuiltinModule(std::wstring_view name);

}  // namespace platform
