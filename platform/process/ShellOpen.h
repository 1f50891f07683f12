// Opening a document or URL with the desktop's handler (xdg-open), never blocking.
//
// Any thread may call. Tests install a hook that records the request instead of
// starting anything.
#pragma once

#include <functional>
#include <string>

#include "platform/types/WinTypes.h"

// Only the verb "open" (or null) is supported. `file` is a URL, kept as given, or
// a Windows-form path, passed on as a host path; `parameters` and `directory` are
// not used. Returns a value above 32 when the handler was started, else
// 2 (empty or unmappable file) or 31 (no handler for the verb, or xdg-open failed).
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT showCommand);

namespace platform {

// Receives the target (URL or host path) in place of xdg-open; returns whether it
// "opened". An empty function restores xdg-open.
using ShellOpenHook = std::function<bool(const std::string& target)>;
void SetShellOpenHook(ShellOpenHook hook);

}  // namespace platform
