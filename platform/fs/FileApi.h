// File handles: CreateFileW and the calls on its handle.
//
// A file handle is a kernel object (platform/sync/KernelObject.h): any thread may
// use it, CloseHandle closes the descriptor. Descriptors are close-on-exec, so no
// child inherits them. Failures return FALSE / INVALID_HANDLE_VALUE and set the
// thread's last error; nothing throws.
//
// Sharing flags are accepted but not enforced: Linux lets a file be opened,
// renamed and deleted while open, and no caller depends on being refused.
#pragma once

#include "platform/types/WinTypes.h"

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;

inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

struct SECURITY_ATTRIBUTES {
    DWORD nLength = sizeof(SECURITY_ATTRIBUTES);
    LPVOID lpSecurityDescriptor = nullptr;
    BOOL bInheritHandle = FALSE;
};
struct OVERLAPPED;

// CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with the last error
// set to ERROR_ALREADY_EXISTS; CREATE_NEW on one fails with ERROR_FILE_EXISTS.
// A directory cannot be opened (ERROR_ACCESS_DENIED). FILE_ATTRIBUTE_READONLY
// creates the file without write permission; other attributes and flags are ignored.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Reads until `toRead` bytes or the end of the file; TRUE with 0 bytes at the end.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped);
// Writes everything or fails; on failure `*written` holds what reached the file.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, OVERLAPPED* overlapped);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD moveMethod);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL FlushFileBuffers(HANDLE file);
// Cuts or extends the file at the current position.
BOOL SetEndOfFile(HANDLE file);
