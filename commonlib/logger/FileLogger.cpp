#include "commonlib/logger/FileLogger.h"

#include "commonlib/logger/LogFileFormat.h"
#include "platform/fs/FileApi.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

FileLogger::FileLogger() : BaseLogger(Stamp::Full), m_file(INVALID_HANDLE_VALUE) {}

FileLogger::~FileLogger() {
    Close();
}

bool FileLogger::Open(const std::wstring& path) {
    std::lock_guard lock(m_mutex);
    CloseLocked();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::string header = LogFileHeader();
    if (!WriteAll(file, header)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return false;
    }
    m_file = file;
    m_end = header.size();
    return true;
}

void FileLogger::Close() {
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

bool FileLogger::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file != INVALID_HANDLE_VALUE;
}

void FileLogger::CloseLocked() {
    if (m_file == INVALID_HANDLE_VALUE) return;
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_end = 0;
}

void FileLogger::WriteLine(LogLevel, const std::string& line) {
    const std::string record = EncodeLogRecord(line);  // enciphered outside the lock
    std::lock_guard lock(m_mutex);
    if (m_file == INVALID_HANDLE_VALUE) return;
    if (WriteAll(m_file, record)) {
        m_end += record.size();
        return;
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(m_end);
    if (!SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file)) {
        CloseLocked();  // the file can no longer be kept whole: stop rather than corrupt it
    }
}

bool ReadLogFile(const std::wstring& path, std::vector<std::string>* lines) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char buffer[64 * 1024];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr)) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return DecodeLogFile(bytes, lines) == LogDecodeResult::Complete && ok;
}
