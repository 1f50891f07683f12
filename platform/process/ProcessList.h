// The running processes, read from /proc, and the toolhelp snapshot over them.
//
// Any thread may call. Ended processes that are still waiting to be reaped are
// left out, as Windows lists only live processes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/fs/FileSystem.h"
#include "platform/types/WinTypes.h"

inline constexpr DWORD TH32CS_SNAPPROCESS = 0x2;

struct PROCESSENTRY32W {
    DWORD dwSize = sizeof(PROCESSENTRY32W);
    DWORD cntUsage = 0;
    DWORD th32ProcessID = 0;
    ULONG_PTR th32DefaultHeapID = 0;
    DWORD th32ModuleID = 0;
    DWORD cntThreads = 0;
    DWORD th32ParentProcessID = 0;
    LONG pcPriClassBase = 0;
    DWORD dwFlags = 0;
    WCHAR szExeFile[MAX_PATH] = {};
};

namespace platform {

struct ProcessInfo {
    DWORD pid = 0;
    DWORD parentPid = 0;
    DWORD threads = 0;
    std::wstring exeName;  // the image's file name ("qvinstaller.exe")
};

std::vector<ProcessInfo> ListProcesses();

// Whether the process runs as this process's (effective) user; false when it is gone.
bool IsOwnUsersProcess(DWORD pid);

// Host path of the process's image. For a script started through its "#!" line
// this is the script, not the interpreter, as a Windows program's image would be.
// nullopt when the process is gone or may not be inspected (errno tells which).
std::optional<std::string> ProcessImageHostPath(DWORD pid);

}  // namespace platform

// Only TH32CS_SNAPPROCESS is supported; the list is taken at the call.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// `entry->dwSize` must be sizeof(PROCESSENTRY32W). FALSE with ERROR_NO_MORE_FILES at the end.
BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry);
