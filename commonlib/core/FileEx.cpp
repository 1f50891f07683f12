#include "commonlib/core/FileEx.h"

#include "commonlib/util/StringFormat.h"
#include "platform/fs/FileApi.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr UINT kKnownFlags = CFileEx::kWrite | CFileEx::kShareRead | CFileEx::kNoInherit | CFileEx::kCreate |
                             CFileEx::kNoTruncate | CFileEx::kBinary;

std::wstring Describe(const wchar_t* operation, const std::wstring& path, DWORD error) {
    return FormatW(L"CFileEx::%s %s failed, error %u", operation, path.c_str(), error);
}

}  // namespace

CFileEx::~CFileEx() {
    Abort();
}

bool CFileEx::Open(const std::wstring& path, UINT flags, CFileExException* error) {
    Abort();
    DWORD failure = ERROR_SUCCESS;
    if ((flags & ~kKnownFlags) != 0 || ((flags & kNoTruncate) && !(flags & kCreate))) {
        failure = ERROR_INVALID_PARAMETER;
    } else {
        const DWORD access = (flags & kWrite) ? GENERIC_WRITE : GENERIC_READ;
        const DWORD share = (flags & kShareRead) ? FILE_SHARE_READ : 0;
        DWORD disposition = OPEN_EXISTING;
        if (flags & kCreate) disposition = (flags & kNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
        HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_file = file;
            m_path = path;
            return true;
        }
        failure = GetLastError();
    }
    if (error) error->Set(__FILE__, __LINE__, failure, Describe(L"Open", path, failure));
    SetLastError(failure);
    return false;
}

std::uint64_t CFileEx::Seek(std::int64_t offset, UINT origin) {
    RequireOpen(__LINE__, L"Seek");
    if (origin > kEnd) ThrowError(__LINE__, ERROR_INVALID_PARAMETER, L"Seek");
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_file, distance, &position, origin)) ThrowError(__LINE__, GetLastError(), L"Seek");
    return static_cast<std::uint64_t>(position.QuadPart);
}

UINT CFileEx::Read(void* buffer, UINT count) {
    RequireOpen(__LINE__, L"Read");
    DWORD read = 0;
    if (!ReadFile(m_file, buffer, count, &read, nullptr)) ThrowError(__LINE__, GetLastError(), L"Read");
    return read;
}

void CFileEx::Write(const void* buffer, UINT count) {
    RequireOpen(__LINE__, L"Write");
    DWORD written = 0;
    if (!WriteFile(m_file, buffer, count, &written, nullptr)) ThrowError(__LINE__, GetLastError(), L"Write");
    if (written != count) ThrowError(__LINE__, ERROR_DISK_FULL, L"Write");
}

void CFileEx::Flush() {
    RequireOpen(__LINE__, L"Flush");
    if (!FlushFileBuffers(m_file)) ThrowError(__LINE__, GetLastError(), L"Flush");
}

void CFileEx::Close() {
    RequireOpen(__LINE__, L"Close");
    HANDLE file = m_file;
    m_file = nullptr;
    if (!CloseHandle(file)) ThrowError(__LINE__, GetLastError(), L"Close");
}

void CFileEx::Abort() {
    if (!m_file) return;
    CloseHandle(m_file);
    m_file = nullptr;
}

void CFileEx::RequireOpen(int line, const wchar_t* operation) const {
    if (!m_file) ThrowError(line, ERROR_INVALID_HANDLE, operation);
}

void CFileEx::ThrowError(int line, DWORD error, const wchar_t* operation) const {
    throw CFileExException(__FILE__, line, error, Describe(operation, m_path, error));
}
