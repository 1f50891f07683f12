// Shared failure paths of the fs calls: Windows-form path -> host path with the
// last error callers expect, and errno -> last error with Windows' distinction
// between a missing file (2) and a missing folder on the way to it (3).
#pragma once

#include <optional>
#include <string>

#include "platform/types/WinTypes.h"

namespace platform {

// Host path of `winPath`, or nullopt with ERROR_PATH_NOT_FOUND (unmapped drive,
// no drive letter) or ERROR_INVALID_PARAMETER (null).
std::optional<std::string> HostPathOrFail(const wchar_t* winPath);

// Sets the last error for a failed call on `hostPath`; returns it.
DWORD SetLastErrorForPath(int error, const std::string& hostPath);

}  // namespace platform
