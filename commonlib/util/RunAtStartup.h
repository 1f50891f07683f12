// The user's start-with-the-system entries: REG_SZ values under HKEY_CURRENT_USER
// "Software\Microsoft\Windows\CurrentVersion\Run", through the registry layer.
//
// Any thread may call.
#pragma once

#include <string>

// The value's text; empty when it is absent, not a string, or longer than 511 characters.
std::wstring GetRunAtStartup(const std::wstring& name);
// Writes the value (creating the key when needed); false when the registry refuses.
bool SetRunAtStartup(const std::wstring& name, const std::wstring& text);
