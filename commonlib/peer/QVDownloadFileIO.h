// The temporary file of one download: the final name with ".qvdt" appended.
//
// The owning task opens, commits and closes it on the UI thread. The body of a transfer
// reaches it through a CRangeWriter: the download engine's curl worker hands the bytes
// over, and the file's own writer thread puts them on disk in large aligned writes, so
// the curl worker's time goes to the sockets and TLS alone. The object is
// reference-counted so that a transfer still finishing on the worker keeps the handle
// valid after the task has let go. Failures come back as system error codes (0 for
// success); nothing throws.
//
// Departs from the original behaviour, in which the curl worker wrote the bytes itself:
// with four TLS connections one core could not decrypt and write at curl's speed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commonlib/core/RefCounted.h"
#include "platform/types/WinTypes.h"

class CQVDownloadFileIO : public CRefThreadSafeBase {
public:
    enum class OpenMode { Fresh, Resume };
    class CRangeWriter;

    // Writes go out in pieces of this size, at file offsets that are multiples of it
    // (shorter only at the ends of a range). Measured at 1 GiB over TLS on loopback: the
    // kernel copied 32-128 KiB writes into the page cache up to four times faster per byte
    // than 256 KiB-1 MiB ones, and the whole download ran a fifth faster.
    static constexpr size_t kWriteChunkBytes = 64 << 10;
    // Bytes waiting for the writer thread, beyond which the curl worker waits: the memory
    // a slow disk can take up.
    static constexpr size_t kQueueLimitBytes = 8 << 20;
    // The writer thread is woken once this much waits (or when someone waits for it), else
    // it looks every kWriterNapMs: a wake-up for every chunk cost the curl worker a tenth
    // of its time.
    static constexpr size_t kWakeBytes = 512 << 10;
    static constexpr int kWriterNapMs = 50;

    static std::wstring TempPathOf(const std::wstring& finalPath) { return finalPath + L".qvdt"; }

    explicit CQVDownloadFileIO(std::wstring finalPath);

    // Fresh: creates or truncates the temporary file and reserves `size` bytes on disk
    // (ERROR_DISK_FULL when they do not fit).
    // Resume: opens the existing file, which must be exactly `size` bytes long
    // (ERROR_INVALID_DATA otherwise, and the caller starts over).
    // Either way the writer thread starts.
    DWORD Open(std::uint64_t size, OpenMode mode);
    // Writes all of `data` at `offset` now; any thread.
    DWORD WriteAt(std::uint64_t offset, const void* data, size_t length);
    // The writer for `length` bytes at `offset`; owner of the transfer that fills them.
    CRefPtr<CRangeWriter> WriterFor(std::uint64_t offset, std::uint64_t length);
    DWORD Flush();
    // Stops the writer thread, dropping what it has not written yet, and closes the file.
    void Close();
    // Closes the file and moves it to the final name, replacing what is there. A temporary
    // file that is already gone counts as moved.
    DWORD MoveToFinal();
    // Closes and deletes the temporary file.
    void Discard();

    const std::wstring& FinalPath() const { return m_finalPath; }
    std::wstring TempPath() const { return TempPathOf(m_finalPath); }

    // Tests only: while held, the writer thread writes nothing (bytes queue up to the limit).
    static void HoldWritesForTesting(bool hold);

private:
    struct Chunk {
        CRangeWriter* range = nullptr;  // stays alive while it has chunks pending
        std::uint64_t offset = 0;
        std::unique_ptr<char[]> bytes;
        size_t size = 0;
    };

    ~CQVDownloadFileIO() override;
    void StopWriter();
    void WriterLoop();
    void WriteChunk(Chunk& chunk);
    // Curl worker: a buffer for the next chunk, once the queue has room for one; null when
    // the writer has stopped.
    std::unique_ptr<char[]> TakeBuffer();
    // Curl worker: false when the writer has stopped, and the chunk is dropped.
    bool Enqueue(Chunk chunk);
    // A range writer's end: its queued chunks are dropped, a write of it under way is waited for.
    void Forget(CRangeWriter* range);
    // Waits on m_progress until `done` holds, with the writer thread awake meanwhile.
    template <typename Done>
    void WaitForWriter(std::unique_lock<std::mutex>& lock, Done done);
    void Recycle(std::unique_ptr<char[]> buffer);  // under m_queueMutex

    const std::wstring m_finalPath;
    std::mutex m_mutex;  // the handle: one seek-and-write at a time; Close never races a write
    HANDLE m_file = nullptr;

    // The writer thread and its queue, under m_queueMutex.
    std::mutex m_queueMutex;
    std::condition_variable m_writerWake;  // the writer thread waits here
    std::condition_variable m_progress;    // and the others for the writer thread here
    bool m_writerAsleep = false;
    int m_waiters = 0;  // threads waiting on m_progress
    std::deque<Chunk> m_queue;
    std::vector<std::unique_ptr<char[]>> m_spareBuffers;
    size_t m_queuedBytes = 0;  // queued or being written
    bool m_writerRunning = false;
    std::thread m_writer;
};

// One transfer's bytes on their way into the file, from `offset` for at most `length`.
//
// Threads: Append and Drain belong to the curl worker that runs the transfer. CutTo and
// Seal may come from any thread (the task's UI thread): once they return, nothing more
// lands beyond the new end, which another transfer may own by then; a write under way
// is waited for. The counters may be read from any thread.
//
// Stored counts only bytes that are in the file: the resume file and the download's
// progress may rely on it. Accepted also counts the bytes still on their way.
class CQVDownloadFileIO::CRangeWriter : public CRefThreadSafeBase {
public:
    struct Taken {
        size_t bytes = 0;  // of the data given, from its start
        DWORD error = 0;   // the file failed: nothing more will be stored
    };

    // Takes as much of `data` as the range still allows; may wait for the writer thread
    // when the file's queue is full.
    Taken Append(const char* data, size_t size);
    // Hands over what is buffered and waits until the writer thread is done with all of it.
    // Returns the error that ended the writing, 0 when everything taken is stored (or cut off).
    DWORD Drain();
    // The range now ends `length` bytes after its start (never later than before).
    void CutTo(std::uint64_t length);
    // Nothing more is stored: the range ends where its stored bytes end.
    void Seal();

    std::uint64_t Accepted() const { return m_accepted.load(std::memory_order_acquire); }
    std::uint64_t Stored() const { return m_stored.load(std::memory_order_acquire); }
    // The range's length now, after any cut or seal.
    std::uint64_t Limit() const { return m_limit.load(std::memory_order_acquire); }
    bool Sealed() const { return m_sealed.load(std::memory_order_acquire); }
    DWORD Error() const { return m_error.load(std::memory_order_acquire); }

private:
    friend class CQVDownloadFileIO;

    CRangeWriter(CRefPtr<CQVDownloadFileIO> file, std::uint64_t offset, std::uint64_t length);
    ~CRangeWriter() override;
    // Curl worker: queues the buffered chunk, if any.
    bool Hand();

    const CRefPtr<CQVDownloadFileIO> m_file;
    const std::uint64_t m_offset;
    // Held by the writer thread for each write, and by CutTo and Seal.
    std::mutex m_writeMutex;
    std::atomic<std::uint64_t> m_limit;
    std::atomic<bool> m_sealed{false};
    std::atomic<std::uint64_t> m_stored{0};
    std::atomic<DWORD> m_error{0};
    std::atomic<std::uint64_t> m_accepted{0};
    // Chunks queued or being written; under the file's queue mutex.
    int m_pending = 0;
    // Curl worker only: the chunk being filled.
    std::unique_ptr<char[]> m_buffer;
    std::uint64_t m_bufferOffset = 0;
    size_t m_buffered = 0;
};
