#include "commonlib/util/ProcessUtils.h"

#include <cwctype>
#include <vector>

#include "commonlib/logger/Log.h"
#include "platform/process/ProcessList.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/KernelObject.h"
#include "platform/sync/Thread.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr DWORD kModuleNameLength = 1024;

// "C:/Games//x\" -> "C:\Games\x\": one separator kind, no doubled ones, one at the end.
std::wstring FolderPrefix(const std::wstring& directory) {
    std::wstring out;
    for (wchar_t c : directory) {
        if (c == L'/') c = L'\\';
        if (c == L'\\' && !out.empty() && out.back() == L'\\') continue;
        out += c;
    }
    if (out.empty() || out.back() != L'\\') out += L'\\';
    return out;
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& prefix) {
    if (path.size() < prefix.size() || prefix.size() < 2) return false;
    if (std::towupper(path[0]) != std::towupper(prefix[0])) return false;
    return path.compare(1, prefix.size() - 1, prefix, 1, prefix.size() - 1) == 0;
}

}  // namespace

DWORD RunProcess(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* info) {
    std::vector<WCHAR> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (info) {
        *info = process;
        info->hProcess = nullptr;  // closed above: a copy of them would name nothing, or something else
        info->hThread = nullptr;
    }
    return 0;
}

int CountProcessesByName(const std::wstring& name) {
    int count = 0;
    for (const auto& process : platform::ListProcesses()) {
        if (process.exeName == name) ++count;
    }
    return count;
}

DWORD FindProcessByPath(const std::wstring& directory) {
    const std::wstring prefix = FolderPrefix(directory);
    const DWORD self = GetCurrentProcessId();
    std::vector<WCHAR> buffer(kModuleNameLength);
    for (const auto& process : platform::ListProcesses()) {
        if (process.pid == self) continue;
        HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.pid);
        if (!handle) continue;
        const DWORD length = GetModuleFileNameExW(handle, nullptr, buffer.data(), kModuleNameLength);
        CloseHandle(handle);
        if (length > 0 && StartsWithFolder(std::wstring(buffer.data(), length), prefix)) return process.pid;
    }
    return 0;
}

int KillProcessesByName(const std::wstring& name) {
    const DWORD self = GetCurrentProcessId();
    int killed = 0;
    for (const auto& process : platform::ListProcesses()) {
        if (process.pid == self || !platform::EqualsNoCase(process.exeName, name)) continue;
        // Another user's program of the same name is none of ours, even where we could end it.
        if (!platform::IsOwnUsersProcess(process.pid)) continue;
        HANDLE handle = OpenProcess(PROCESS_TERMINATE, FALSE, process.pid);
        if (!handle) {
            XJ_LOG_ERROR("OpenProcess Error!");
            continue;
        }
        if (TerminateProcess(handle, 0)) ++killed;
        CloseHandle(handle);
    }
    return killed;
}

bool EnableDebugPrivilege() {
    return true;
}
