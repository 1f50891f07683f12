// Window classes: the process-wide registry behind RegisterClassExW,
// UnregisterClassW and GetClassInfoExW.
//
// Any thread may register, look up and unregister. Names compare without case;
// the program is one module, so the instance handle is kept but not compared.
// A class cannot be unregistered while windows of it exist
// (ERROR_CLASS_HAS_WINDOWS). Superclassing is GetClassInfoExW of the base,
// a new name and procedure, and RegisterClassExW; the caller keeps the base
// procedure for CallWindowProcW.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/window/WindowTypes.h"

namespace platform {

// The most extra bytes a class may ask for each window (cbWndExtra) or for itself.
inline constexpr int kMaxWindowExtraBytes = 40 * 1024;

struct WindowClassEntry {
    std::wstring name;
    std::wstring menuName;
    ATOM atom = 0;
    WNDCLASSEXW info;  // its name pointers refer to the strings above
    std::atomic<int> windowCount{0};
};

// `nameOrAtom` is a class name, or an atom in the pointer's low word as
// RegisterClassExW returned it. Null when no such class is registered.
std::shared_ptr<WindowClassEntry> FindWindowClass(LPCWSTR nameOrAtom);

// Registers `wc` unless its class exists. True when the class exists with `wc`'s procedure,
// whoever registered it (another thread may be doing so at the same time); false when the name
// belongs to another procedure or the registration fails.
bool EnsureWindowClass(const WNDCLASSEXW& wc);

}  // namespace platform

// The atom of the new class, or 0 with ERROR_CLASS_ALREADY_EXISTS or
// ERROR_INVALID_PARAMETER (wrong cbSize, no name, no procedure, extra bytes
// below 0 or above kMaxWindowExtraBytes). Each window of the class gets
// cbWndExtra zeroed bytes for Get/SetWindowLong(Ptr)W at offsets from 0.
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
ATOM RegisterClassW(const WNDCLASSW* wc);
// FALSE with ERROR_CLASS_DOES_NOT_EXIST or ERROR_CLASS_HAS_WINDOWS.
BOOL UnregisterClassW(LPCWSTR nameOrAtom, HINSTANCE instance);
// Fills `wc` (cbSize is kept) and returns the atom; FALSE with ERROR_CLASS_DOES_NOT_EXIST.
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR nameOrAtom, WNDCLASSEXW* wc);
