// The temporary file of one download: the final name with ".qvdt" appended.
//
// The owning task opens, commits and closes it on the UI thread. WriteAt is called on the
// download engine's worker thread while the task runs; the object is reference-counted
// so that a transfer still finishing on the worker keeps the handle valid after the task
// has let go. Failures come back as system error codes (0 for success); nothing throws.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "commonlib/core/RefCounted.h"
#include "platform/types/WinTypes.h"

class CQVDownloadFileIO : public CRefThreadSafeBase {
public:
    enum class OpenMode { Fresh, Resume };

    static std::wstring TempPathOf(const std::wstring& finalPath) { return finalPath + L".qvdt"; }

    explicit CQVDownloadFileIO(std::wstring finalPath);

    // Fresh: creates or truncates the temporary file and reserves `size` bytes on disk
    // (ERROR_DISK_FULL when they do not fit).
    // Resume: opens the existing file, which must be exactly `size` bytes long
    // (ERROR_INVALID_DATA otherwise, and the caller starts over).
    DWORD Open(std::uint64_t size, OpenMode mode);
    // Writes all of `data` at `offset`; any thread.
    DWORD WriteAt(std::uint64_t offset, const void* data, size_t length);
    DWORD Flush();
    void Close();
    // Closes the file and moves it to the final name, replacing what is there. A temporary
    // file that is already gone counts as moved.
    DWORD MoveToFinal();
    // Closes and deletes the temporary file.
    void Discard();

    const std::wstring& FinalPath() const { return m_finalPath; }
    std::wstring TempPath() const { return TempPathOf(m_finalPath); }

private:
    ~CQVDownloadFileIO() override;

    const std::wstring m_finalPath;
    std::mutex m_mutex;  // one seek-and-write at a time; Close never races a worker write
    HANDLE m_file = nullptr;
};
