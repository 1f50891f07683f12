// Windows-form path texts, handled as strings only: nothing here touches the file system.
//
// Pure functions, callable from any thread. "Normalised" means every '/' replaced by '\'.
#pragma once

#include <string>
#include <string_view>

// The text before the last backslash of the normalised path ("C:\a\b.txt" gives "C:\a",
// "C:\" gives "C:"); empty when the path is empty or holds no separator.
std::wstring GetDirectoryPart(std::wstring_view path);
// The parent of a directory path: trailing separators are dropped first, so that
// "C:\a\b\" gives "C:\a" like "C:\a\b" does; the root "C:\" has the parent "".
std::wstring GetParentDir(std::wstring_view path);
// The text after the last backslash of the normalised path; the whole path when it has
// none ("C:\a\" gives "").
std::wstring GetLastPathComponent(std::wstring_view path);

// Syntax check of an install path. The part before the first backslash must be exactly
// a letter A-Z or a-z and ':'. No later part may contain a character that Windows
// forbids in names (< > : " / | ? * and the control characters 1-31), nor be a reserved
// device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case, alone or before a
// '.'), since such a folder cannot be created on Windows. Empty parts are allowed, so
// "C:\" and "C:\Games\" pass.
bool IsValidPath(std::wstring_view path);
