// Shell folders and the program's own file, in Windows form.
//
// Common application data (CSIDL 0x23) is $XDG_DATA_HOME (default
// ~/.local/share); common documents (CSIDL 0x2E) is $XDG_DOCUMENTS_DIR (default
// ~/Documents). Both follow the environment on every call. Any thread may call.
#pragma once

#include <optional>
#include <string>

#include "platform/types/WinTypes.h"

inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;

// `path` must hold MAX_PATH characters. With `create` the folder and its parents
// are made when missing. Other CSIDL numbers fail with ERROR_INVALID_PARAMETER.
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);

// Only the program's own executable is a module here, so `module` is not looked
// at. Copies at most size - 1 characters and a NUL; when the path is longer it
// returns `size` with ERROR_INSUFFICIENT_BUFFER, else the length copied.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

namespace platform {

// Host directory of a supported shell folder.
std::optional<std::string> SpecialFolderHostPath(int csidl);

}  // namespace platform
