#include "commonlib/peer/QVDownloadFileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileApi.h"
#include "platform/fs/FileSystem.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

// WriteFile takes 32-bit lengths.
constexpr size_t kMaxWriteChunk = 1u << 30;
// Buffers kept for reuse: enough for a full queue and the chunk being filled.
constexpr size_t kMaxSpareBuffers = CQVDownloadFileIO::kQueueLimitBytes / CQVDownloadFileIO::kWriteChunkBytes + 1;

std::atomic<bool> g_holdWrites{false};

bool Seek(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

// Windows gives a file its clusters when its end moves out; Linux would leave a sparse
// file that runs out of space half-way. The blocks are claimed now, through the host path
// of the file the handle has open.
DWORD ReserveSpace(const std::wstring& path, std::uint64_t size) {
    const auto host = platform::HostPath(path);
    if (!host) return ERROR_PATH_NOT_FOUND;
    const int fd = ::open(host->c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return WinErrorFromErrno(errno);
    int error;
    do {
        error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    } while (error == EINTR);
    ::close(fd);
    return error == 0 ? 0 : WinErrorFromErrno(error);
}

}  // namespace

CQVDownloadFileIO::CQVDownloadFileIO(std::wstring finalPath) : m_finalPath(std::move(finalPath)) {}

CQVDownloadFileIO::~CQVDownloadFileIO() {
    Close();
}

DWORD CQVDownloadFileIO::Open(std::uint64_t size, OpenMode mode) {
    StopWriter();
    std::lock_guard lock(m_mutex);
    if (m_file) CloseHandle(m_file);
    m_file = nullptr;
    const std::wstring temp = TempPath();
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              mode == OpenMode::Fresh ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    if (mode == OpenMode::Resume) {
        LARGE_INTEGER current{};
        if (!GetFileSizeEx(file, &current) || static_cast<std::uint64_t>(current.QuadPart) != size) {
            CloseHandle(file);
            return ERROR_INVALID_DATA;
        }
    } else if (size > 0) {
        // The whole size is claimed up front, so a file the disk cannot hold fails here.
        if (const DWORD error = ReserveSpace(temp, size); error != 0) {
            CloseHandle(file);
            DeleteFileW(temp.c_str());
            return error;
        }
    }
    m_file = file;
    {
        std::lock_guard queueLock(m_queueMutex);
        m_writerRunning = true;
    }
    m_writer = std::thread([this] { WriterLoop(); });
    return 0;
}

DWORD CQVDownloadFileIO::WriteAt(std::uint64_t offset, const void* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_file) return ERROR_INVALID_HANDLE;
    if (!Seek(m_file, offset)) return GetLastError();
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min(length, kMaxWriteChunk));
        DWORD written = 0;
        if (!WriteFile(m_file, bytes, chunk, &written, nullptr)) return GetLastError();
        bytes += written;
        length -= written;
    }
    return 0;
}

DWORD CQVDownloadFileIO::Flush() {
    std::lock_guard lock(m_mutex);
    if (!m_file) return ERROR_INVALID_HANDLE;
    return FlushFileBuffers(m_file) ? 0 : GetLastError();
}

void CQVDownloadFileIO::Close() {
    StopWriter();
    std::lock_guard lock(m_mutex);
    if (m_file) CloseHandle(m_file);
    m_file = nullptr;
}

DWORD CQVDownloadFileIO::MoveToFinal() {
    Close();
    const std::wstring temp = TempPath();
    if (MoveFileExW(temp.c_str(), m_finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    const DWORD error = GetLastError();
    // Already moved (an earlier attempt got this far): the file is in place.
    if (GetFileAttributesW(temp.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(m_finalPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    return error;
}

void CQVDownloadFileIO::Discard() {
    Close();
    DeleteFileW(TempPath().c_str());
}

void CQVDownloadFileIO::HoldWritesForTesting(bool hold) {
    g_holdWrites.store(hold);
}

CRefPtr<CQVDownloadFileIO::CRangeWriter> CQVDownloadFileIO::WriterFor(std::uint64_t offset, std::uint64_t length) {
    return new CRangeWriter(this, offset, length);
}

void CQVDownloadFileIO::StopWriter() {
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_writerRunning && !m_writer.joinable()) return;
        m_writerRunning = false;
        for (Chunk& chunk : m_queue) {
            --chunk.range->m_pending;
            m_queuedBytes -= chunk.size;
            Recycle(std::move(chunk.bytes));
        }
        m_queue.clear();
    }
    m_writerWake.notify_all();
    m_progress.notify_all();
    // Joined without a time-out: the thread ends once the write under way is done.
    if (m_writer.joinable()) m_writer.join();
}

template <typename Done>
void CQVDownloadFileIO::WaitForWriter(std::unique_lock<std::mutex>& lock, Done done) {
    if (done()) return;
    ++m_waiters;
    if (m_writerAsleep) m_writerWake.notify_one();
    m_progress.wait(lock, done);
    --m_waiters;
}

void CQVDownloadFileIO::WriterLoop() {
    std::unique_lock lock(m_queueMutex);
    for (;;) {
        if (!m_writerRunning) return;
        if (m_queue.empty() || g_holdWrites.load()) {
            m_writerAsleep = true;
            m_writerWake.wait_for(lock, std::chrono::milliseconds(kWriterNapMs));
            m_writerAsleep = false;
            continue;
        }
        Chunk chunk = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        WriteChunk(chunk);
        lock.lock();
        m_queuedBytes -= chunk.size;
        --chunk.range->m_pending;
        Recycle(std::move(chunk.bytes));
        if (m_waiters > 0) m_progress.notify_all();
    }
}

void CQVDownloadFileIO::WriteChunk(Chunk& chunk) {
    CRangeWriter& range = *chunk.range;
    std::lock_guard lock(range.m_writeMutex);
    if (range.m_error.load() != 0) return;
    const std::uint64_t start = chunk.offset - range.m_offset;
    const std::uint64_t end = std::min<std::uint64_t>(start + chunk.size, range.m_limit.load());
    // An earlier piece was cut off, or this one lies past the range's end now.
    if (start != range.m_stored.load() || end <= start) return;
    if (const DWORD error = WriteAt(chunk.offset, chunk.bytes.get(), static_cast<size_t>(end - start)); error != 0) {
        range.m_error.store(error, std::memory_order_release);
        return;
    }
    range.m_stored.store(end, std::memory_order_release);
}

std::unique_ptr<char[]> CQVDownloadFileIO::TakeBuffer() {
    std::unique_lock lock(m_queueMutex);
    WaitForWriter(lock, [this] { return !m_writerRunning || m_queuedBytes < kQueueLimitBytes; });
    if (!m_writerRunning) return nullptr;
    if (m_spareBuffers.empty()) return std::make_unique_for_overwrite<char[]>(kWriteChunkBytes);
    std::unique_ptr<char[]> buffer = std::move(m_spareBuffers.back());
    m_spareBuffers.pop_back();
    return buffer;
}

bool CQVDownloadFileIO::Enqueue(Chunk chunk) {
    std::lock_guard lock(m_queueMutex);
    if (!m_writerRunning) {
        Recycle(std::move(chunk.bytes));
        return false;
    }
    ++chunk.range->m_pending;
    m_queuedBytes += chunk.size;
    m_queue.push_back(std::move(chunk));
    if (m_writerAsleep && m_queuedBytes >= kWakeBytes) m_writerWake.notify_one();
    return true;
}

void CQVDownloadFileIO::Forget(CRangeWriter* range) {
    std::unique_lock lock(m_queueMutex);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->range != range) {
            ++it;
            continue;
        }
        --range->m_pending;
        m_queuedBytes -= it->size;
        Recycle(std::move(it->bytes));
        it = m_queue.erase(it);
    }
    Recycle(std::move(range->m_buffer));
    WaitForWriter(lock, [range] { return range->m_pending == 0; });
    // Room was made in the queue.
    if (m_waiters > 0) m_progress.notify_all();
}

void CQVDownloadFileIO::Recycle(std::unique_ptr<char[]> buffer) {
    if (buffer && m_spareBuffers.size() < kMaxSpareBuffers) m_spareBuffers.push_back(std::move(buffer));
}

CQVDownloadFileIO::CRangeWriter::CRangeWriter(CRefPtr<CQVDownloadFileIO> file, std::uint64_t offset,
                                              std::uint64_t length)
    : m_file(std::move(file)), m_offset(offset), m_limit(length) {}

CQVDownloadFileIO::CRangeWriter::~CRangeWriter() {
    m_file->Forget(this);
}

CQVDownloadFileIO::CRangeWriter::Taken CQVDownloadFileIO::CRangeWriter::Append(const char* data, size_t size) {
    if (const DWORD error = Error(); error != 0) return {0, error};
    const std::uint64_t accepted = m_accepted.load(std::memory_order_relaxed);
    const std::uint64_t limit = Limit();
    const size_t take = static_cast<size_t>(std::min<std::uint64_t>(size, limit > accepted ? limit - accepted : 0));
    size_t done = 0;
    while (done < take) {
        if (!m_buffer) {
            m_buffer = m_file->TakeBuffer();
            if (!m_buffer) {
                m_error.store(ERROR_INVALID_HANDLE, std::memory_order_release);
                return {done, ERROR_INVALID_HANDLE};
            }
            m_bufferOffset = m_offset + accepted + done;
            m_buffered = 0;
        }
        const size_t room = kWriteChunkBytes - static_cast<size_t>(m_bufferOffset % kWriteChunkBytes) - m_buffered;
        const size_t piece = std::min(take - done, room);
        std::memcpy(m_buffer.get() + m_buffered, data + done, piece);
        m_buffered += piece;
        done += piece;
        m_accepted.store(accepted + done, std::memory_order_release);
        if (piece == room && !Hand()) return {done, ERROR_INVALID_HANDLE};
    }
    return {take, 0};
}

bool CQVDownloadFileIO::CRangeWriter::Hand() {
    if (!m_buffer) return true;
    Chunk chunk{this, m_bufferOffset, std::move(m_buffer), m_buffered};
    m_buffered = 0;
    if (m_file->Enqueue(std::move(chunk))) return true;
    m_error.store(ERROR_INVALID_HANDLE, std::memory_order_release);
    return false;
}

DWORD CQVDownloadFileIO::CRangeWriter::Drain() {
    Hand();
    std::unique_lock lock(m_file->m_queueMutex);
    m_file->WaitForWriter(lock, [this] { return m_pending == 0; });
    return Error();
}

void CQVDownloadFileIO::CRangeWriter::CutTo(std::uint64_t length) {
    std::lock_guard lock(m_writeMutex);
    if (length < m_limit.load()) m_limit.store(length, std::memory_order_release);
}

void CQVDownloadFileIO::CRangeWriter::Seal() {
    std::lock_guard lock(m_writeMutex);
    m_limit.store(m_stored.load(), std::memory_order_release);
    m_sealed.store(true, std::memory_order_release);
}
