// A file handle wrapper on the platform's file handles.
//
// One owner at a time (not shared between threads). Open reports failure through its
// result and, when given, a CFileExException filled with the system error; it never
// throws. Read, Write, Seek, Flush and Close throw CFileExException with the system
// error (the Windows number) when they fail, and so do they on a file that is not open
// (ERROR_INVALID_HANDLE). Abort and the destructor close without checking and never throw.
#pragma once

#include <cstdint>
#include <string>

#include "commonlib/core/FileExException.h"
#include "platform/types/WinTypes.h"

class CFileEx {
public:
    // Open flags; they combine with |.
    static constexpr UINT kWrite = 0x1;          // write access; without it the file is opened for reading
    static constexpr UINT kShareRead = 0x20;     // other openers may read, not write
    static constexpr UINT kNoInherit = 0x80;     // no child process inherits the handle (always so here)
    static constexpr UINT kCreate = 0x1000;      // create the file; an existing one is replaced...
    static constexpr UINT kNoTruncate = 0x2000;  // ...unless this is given too
    static constexpr UINT kBinary = 0x8000;      // bytes as they are (the only mode there is)

    enum SeekOrigin : UINT { kBegin = 0, kCurrent = 1, kEnd = 2 };

    CFileEx() = default;
    ~CFileEx();
    CFileEx(const CFileEx&) = delete;
    CFileEx& operator=(const CFileEx&) = delete;

    // `path` is Windows form. An open file is aborted first. Unknown flag bits, and
    // kNoTruncate without kCreate, fail with ERROR_INVALID_PARAMETER.
    bool Open(const std::wstring& path, UINT flags, CFileExException* error = nullptr);

    // The new position from the start of the file. An origin other than the three, or a
    // target before the start, throws (ERROR_INVALID_PARAMETER / the system's error).
    std::uint64_t Seek(std::int64_t offset, UINT origin);
    // Up to `count` bytes; fewer only at the end of the file.
    UINT Read(void* buffer, UINT count);
    // All `count` bytes or a throw.
    void Write(const void* buffer, UINT count);
    void Flush();
    // Throws when closing fails; the handle is released either way.
    void Close();
    void Abort();

    bool IsOpen() const { return m_file != nullptr; }
    const std::wstring& GetFilePath() const { return m_path; }

private:
    [[noreturn]] void ThrowError(int line, DWORD error, const wchar_t* operation) const;
    void RequireOpen(int line, const wchar_t* operation) const;

    HANDLE m_file = nullptr;
    std::wstring m_path;
};
