// Processes: start, open, wait (through WaitForSingleObject), exit codes, kill,
// and the module path of a process.
//
// A process handle is a kernel object (platform/sync/KernelObject.h) holding a
// pidfd, so it names the same process for its whole life even when the pid is
// reused. Any thread may call. Children we start are reaped by a background
// thread, so none is left a zombie whether or not anyone waits on it; their exit
// codes stay readable through their handles. Failures return FALSE / null with
// the thread's last error.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/FileApi.h"
#include "platform/types/WinTypes.h"

inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD PROCESS_ALL_ACCESS = 0x001FFFFF;

struct STARTUPINFOW {
    DWORD cb = sizeof(STARTUPINFOW);
    DWORD dwFlags = 0;
    WORD wShowWindow = 0;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess = nullptr;
    HANDLE hThread = nullptr;
    DWORD dwProcessId = 0;
    DWORD dwThreadId = 0;
};

namespace platform {

// What GetExitCodeProcess reports while the process runs; the same number as
// STILL_ACTIVE of the thread calls.
inline constexpr DWORD kStillActive = 259;

// Exit codes: on Linux only 0-255 travel from a process to its parent; of any other
// code the parent gets the low 8 bits, so 256 would arrive as 0, success. Every
// code the program's own processes pass to each other therefore stays within
// 0-255, and the entry point turns any other return value into 255 (a failure)
// through this. A Windows program's larger codes cannot be received from a child.
inline constexpr int kUnrepresentableExitCode = 255;
constexpr int ExitCodeForHost(int code) {
    return code >= 0 && code <= 255 ? code : kUnrepresentableExitCode;
}

}  // namespace platform

// `application` is a Windows-form path (its execute bit is set when missing, and
// taken away again when the file cannot be started, so a data file stays one); with
// it null, the first argument of the command line names the program (Windows
// form, or a bare name looked up in PATH). The command line is split by the
// Windows rules (CommandLine.h) and the child gets exactly those arguments, the
// first as argv[0]. `currentDirectory` is Windows form. Handles are never
// inherited; creation flags and start-up information are not looked at; an
// explicit environment block is not supported (ERROR_INVALID_PARAMETER).
// The thread handle and id stand for the main thread: it waits like the process.
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES* processAttributes,
                    SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, STARTUPINFOW* startupInfo, PROCESS_INFORMATION* processInformation);

// Null with ERROR_INVALID_PARAMETER when no such process runs, ERROR_ACCESS_DENIED
// when it may not be signalled (PROCESS_TERMINATE) or its image read
// (PROCESS_QUERY_INFORMATION, PROCESS_VM_READ).
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);

// kStillActive while running. The exit code of a child, 0-255 (or 128 + signal when a
// signal ended it, or the code given to TerminateProcess); a process that is not
// our child, or a child reaped elsewhere (SIGCHLD ignored), gives FALSE with
// ERROR_NOT_SUPPORTED once it has ended.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

// SIGKILL. FALSE with ERROR_ACCESS_DENIED when the process has already ended or
// the handle lacks PROCESS_TERMINATE.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

DWORD GetProcessId(HANDLE process);

// The process's image path in Windows form (see ProcessList.h for scripts);
// copies at most size - 1 characters and a NUL and returns the count.
// `module` must be null (the main module).
DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR fileName, DWORD size);

namespace platform {

// Starts a program and forgets it; the reaper collects it. errno on failure.
int SpawnDetached(const std::string& program, const std::vector<std::string>& args);

// Starts `program` (looked up in PATH when `searchPath`) with `args`, the first being argv[0],
// default signal handling and an empty signal mask whatever this process uses, and `actions`
// (null: none) applied in the child. 0, else the errno; the child is the caller's to reap.
int SpawnChild(const std::string& program, bool searchPath, const std::vector<std::string>& args,
               const posix_spawn_file_actions_t* actions, pid_t* pid);

}  // namespace platform
