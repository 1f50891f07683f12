// Starting, finding and ending processes.
//
// Any thread may call. Names are executable file names ("qvinstaller.exe"); paths are
// Windows form. Nothing here waits for a process.
#pragma once

#include <string>

#include "platform/process/Process.h"
#include "platform/types/WinTypes.h"

// Starts `application` with `commandLine` (Windows argument rules, no handle inheritance)
// without waiting. 0 on success, else the system error code. `info`, when given, receives
// the process and thread ids; its handles are null, because both are closed here.
DWORD RunProcess(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* info = nullptr);

// Running processes whose executable name equals `name` exactly.
int CountProcessesByName(const std::wstring& name);

// The id of the first other process whose image lies below `directory`, 0 when none.
// The directory is compared as a folder (a trailing backslash is added, so "C:\Games"
// does not match "C:\Games2\a.exe"), with the drive letter in any case and the rest in
// the file system's case: on a case-sensitive system "C:\games" is another folder.
// Processes that cannot be inspected, and this process, are skipped.
DWORD FindProcessByPath(const std::wstring& directory);

// Terminates every other running process of this user whose executable name equals
// `name` without regard to case (other users' processes are left alone, also for root); logs "OpenProcess Error!" for
// one that cannot be opened. Returns how many were terminated.
int KillProcessesByName(const std::wstring& name);

// The debug privilege does not exist here: processes of the same user can be ended and
// inspected anyway. Always true.
bool EnableDebugPrivilege();
