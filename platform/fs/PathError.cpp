#include "platform/fs/PathError.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fs/DriveMap.h"
#include "platform/types/ErrorCodes.h"

namespace platform {

std::optional<std::string> HostPathOrFail(const wchar_t* winPath) {
    if (!winPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    auto host = HostPath(winPath);
    if (!host) SetLastError(ERROR_PATH_NOT_FOUND);
    return host;
}

DWORD SetLastErrorForPath(int error, const std::string& hostPath) {
    if (error == ENOENT) {
        const auto slash = hostPath.find_last_of('/');
        const std::string parent = slash == 0 || slash == std::string::npos ? "/" : hostPath.substr(0, slash);
        struct stat st {};
        if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return ERROR_PATH_NOT_FOUND;
        }
    }
    return SetLastErrorFromErrno(error);
}

}  // namespace platform
