#include "app/Updater/SevenZipCallbacks.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <utility>
#include <vector>

#include "commonlib/logger/Log.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/PathString.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/FileApi.h"
#include "platform/sync/Clock.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr std::uint64_t kProgressStep = 0x100000;  // report at most once per MiB unpacked
constexpr std::uint32_t kWritePiece = 0x800000;    // largest single write to the disk

template <typename Face>
HRESULT Answer(Face* face, IUnknown* counted, void** object) {
    *object = face;
    counted->AddRef();
    return S_OK;
}

HRESULT NoInterface(void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

std::int32_t ErrorOr(DWORD error, std::int32_t fallback) {
    return error != 0 ? static_cast<std::int32_t>(error) : fallback;
}

}  // namespace

std::optional<std::wstring> RelativeItemPath(std::wstring_view path) {
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return std::nullopt;
    if (path.find(L':') != std::wstring_view::npos) return std::nullopt;
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) end = path.size();
        const std::wstring_view part = path.substr(start, end - start);
        if (part == L"..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring relative;
    for (const std::wstring_view part : parts) {
        if (!relative.empty()) relative += L'\\';
        relative += part;
    }
    return relative;
}

bool IsInsideDirectory(std::wstring_view directory, std::wstring_view path) {
    while (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/'))
        directory.remove_suffix(1);
    if (directory.empty() || path.size() <= directory.size() + 1 || path.substr(0, directory.size()) != directory)
        return false;
    if (path[directory.size()] != L'\\' && path[directory.size()] != L'/') return false;
    const auto relative = RelativeItemPath(path.substr(directory.size() + 1));
    return relative && !relative->empty();
}

std::wstring JoinPatchPath(const std::wstring& directory, std::wstring_view name) {
    if (directory.empty()) return std::wstring(name);
    std::wstring joined = directory;
    if (joined.back() != L'\\') joined += L'\\';
    joined += name;
    return joined;
}

int SeededRandom() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(counter.QuadPart & 0xFFFFFFFF));
    return std::rand();
}

// ---- CInFileStream ----

CInFileStream::~CInFileStream() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

bool CInFileStream::Open(const std::wstring& path) {
    m_path = path;
    m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) m_lastError = GetLastError();
    return m_file != INVALID_HANDLE_VALUE;
}

std::uint64_t CInFileStream::Size() {
    std::uint64_t current = 0;
    std::uint64_t end = 0;
    if (Seek(0, sevenzip::kSeekCurrent, &current) != S_OK || Seek(0, sevenzip::kSeekEnd, &end) != S_OK ||
        Seek(static_cast<std::int64_t>(current), sevenzip::kSeekSet, nullptr) != S_OK)
        return 0;
    return end;
}

HRESULT CInFileStream::QueryInterface(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == sevenzip::kIidSequentialInStream || iid == sevenzip::kIidInStream)
        return Answer(static_cast<IInStream*>(this), this, object);
    return NoInterface(object);
}

ULONG CInFileStream::AddRef() noexcept {
    return ++m_refCount;
}

ULONG CInFileStream::Release() noexcept {
    if (--m_refCount != 0) return m_refCount;
    delete this;
    return 0;
}

HRESULT CInFileStream::Read(void* data, std::uint32_t size, std::uint32_t* processed) noexcept {
    if (processed) *processed = 0;
    if (m_file == INVALID_HANDLE_VALUE) return STG_E_ACCESSDENIED;
    DWORD read = 0;
    if (!ReadFile(m_file, data, size, &read, nullptr)) {
        m_lastError = GetLastError();
        XJ_LOG_ERROR("7z ReadFile error %d (%u, %u)", static_cast<int>(m_lastError), size, read);
        if (processed) *processed = read;
        return STG_E_ACCESSDENIED;
    }
    if (read < size) XJ_LOG_INFO("7z ReadFile 长度不一致 (%u, %u)", size, read);
    if (processed) *processed = read;
    return S_OK;
}

HRESULT CInFileStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) noexcept {
    if (m_file == INVALID_HANDLE_VALUE) return S_FALSE;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(m_file, distance, &position, origin)) {
        m_lastError = GetLastError();
        return HRESULT_FROM_WIN32(m_lastError);
    }
    if (newPosition) *newPosition = static_cast<std::uint64_t>(position.QuadPart);
    return S_OK;
}

// ---- COutFileStream ----

COutFileStream::~COutFileStream() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

bool COutFileStream::Open(const std::wstring& path) {
    m_file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    XJ_LOG_INFO(L"open OutFile %s 0x%x", path.c_str(), static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(m_file)));
    if (m_file == INVALID_HANDLE_VALUE) m_errorSink->RecordError(static_cast<std::int32_t>(error));
    SetLastError(error);  // for the caller, past the logging
    return m_file != INVALID_HANDLE_VALUE;
}

HRESULT COutFileStream::QueryInterface(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == sevenzip::kIidSequentialOutStream)
        return Answer(static_cast<ISequentialOutStream*>(this), this, object);
    return NoInterface(object);
}

ULONG COutFileStream::AddRef() noexcept {
    return ++m_refCount;
}

ULONG COutFileStream::Release() noexcept {
    if (--m_refCount != 0) return m_refCount;
    delete this;
    return 0;
}

HRESULT COutFileStream::Write(const void* data, std::uint32_t size, std::uint32_t* processed) noexcept {
    if (processed) *processed = 0;
    if (size == 0) return S_OK;
    const auto* bytes = static_cast<const char*>(data);
    std::uint32_t done = 0;
    while (done < size) {
        const std::uint32_t piece = std::min(size - done, kWritePiece);
        DWORD written = 0;
        if (!WriteFile(m_file, bytes + done, piece, &written, nullptr)) {
            const DWORD error = GetLastError();
            XJ_LOG_ERROR("WriteFile error %d", static_cast<int>(error));
            if (processed) *processed = done + written;
            m_errorSink->RecordError(static_cast<std::int32_t>(error));
            return STG_E_WRITEFAULT;
        }
        done += written;
    }
    if (processed) *processed = size;
    return S_OK;
}

// ---- CArchiveOpenCallback ----

HRESULT CArchiveOpenCallback::QueryInterface(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == sevenzip::kIidArchiveOpenCallback)
        return Answer(static_cast<IArchiveOpenCallback*>(this), static_cast<IArchiveOpenCallback*>(this), object);
    if (iid == sevenzip::kIidCryptoGetTextPassword)
        return Answer(static_cast<ICryptoGetTextPassword*>(this), static_cast<IArchiveOpenCallback*>(this), object);
    return NoInterface(object);
}

ULONG CArchiveOpenCallback::AddRef() noexcept {
    return ++m_refCount;
}

ULONG CArchiveOpenCallback::Release() noexcept {
    if (--m_refCount != 0) return m_refCount;
    delete this;
    return 0;
}

HRESULT CArchiveOpenCallback::SetTotal(const std::uint64_t*, const std::uint64_t*) noexcept {
    return S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const std::uint64_t*, const std::uint64_t*) noexcept {
    return S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR* password) noexcept {
    if (password) *password = nullptr;
    return S_OK;
}

// ---- CArchiveExtractCallback ----

CArchiveExtractCallback::CArchiveExtractCallback(Setup setup) : m_setup(std::move(setup)) {
    if (m_setup.archive) m_setup.archive->AddRef();
}

CArchiveExtractCallback::~CArchiveExtractCallback() {
    if (m_setup.archive) m_setup.archive->Release();
}

HRESULT CArchiveExtractCallback::QueryInterface(REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == sevenzip::kIidCryptoGetTextPassword)
        return Answer(static_cast<ICryptoGetTextPassword*>(this), static_cast<ICryptoGetTextPassword*>(this), object);
    return NoInterface(object);
}

ULONG CArchiveExtractCallback::AddRef() noexcept {
    return ++m_refCount;
}

ULONG CArchiveExtractCallback::Release() noexcept {
    if (--m_refCount != 0) return m_refCount;
    delete this;
    return 0;
}

HRESULT CArchiveExtractCallback::SetTotal(std::uint64_t total) noexcept {
    m_total = total;
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetCompleted(const std::uint64_t* completed) noexcept {
    if (!completed || !m_setup.progress) return S_OK;
    if (*completed > m_lastReported && *completed - m_lastReported > kProgressStep) {
        m_lastReported = *completed;
        if (m_total != 0) m_setup.progress(m_setup.user, *completed, m_total);
    }
    return S_OK;
}

CArchiveExtractCallback::Item CArchiveExtractCallback::ReadItem(std::uint32_t index) {
    Item item;
    PROPVARIANT value{};
    if (m_setup.archive->GetProperty(index, sevenzip::kpidPath, &value) == S_OK && value.vt == VT_BSTR)
        item.path = value.bstrVal ? std::wstring(value.bstrVal) : std::wstring();
    m_setup.calls.variantClear(&value);
    value = PROPVARIANT{};
    if (m_setup.archive->GetProperty(index, sevenzip::kpidIsDir, &value) == S_OK && value.vt == VT_BOOL)
        item.isDirectory = value.boolVal != VARIANT_FALSE;
    m_setup.calls.variantClear(&value);
    return item;
}

HRESULT CArchiveExtractCallback::GetStream(std::uint32_t index, ISequentialOutStream** stream, std::int32_t) noexcept {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (m_setup.stopFlag && m_setup.stopFlag->load()) {
        RecordError(sevenzip::kErrorStopped);
        return S_FALSE;
    }
    try {
        const Item item = ReadItem(index);
        std::wstring itemPath;
        std::wstring outputPath = m_setup.destination;
        if (item.path) {
            // An archive names whatever it likes; nothing is written outside the destination.
            const auto relative = RelativeItemPath(*item.path);
            if (!relative) {
                XJ_LOG_ERROR(L"7z item refused, it leaves the destination: %s", item.path->c_str());
                RecordError(static_cast<std::int32_t>(ERROR_INVALID_NAME));
                return S_FALSE;
            }
            itemPath = *relative;
            outputPath = JoinPatchPath(m_setup.destination, itemPath);
            if (!m_setup.keepOut.empty() &&
                (outputPath == m_setup.keepOut || IsInsideDirectory(m_setup.keepOut, outputPath))) {
                XJ_LOG_ERROR(L"7z item refused, it would reach the library: %s", item.path->c_str());
                RecordError(static_cast<std::int32_t>(ERROR_INVALID_NAME));
                return S_FALSE;
            }
        }
        if (item.isDirectory) {
            if (CreateDirByXj(outputPath)) return S_OK;
            RecordError(ErrorOr(GetLastError(), sevenzip::kErrorDirectoryNotCreated));
            return S_FALSE;
        }
        return OpenOutput(itemPath, outputPath, stream);
    } catch (const std::exception& e) {
        XJ_LOG_ERROR("7z GetStream %u failed: %s", index, e.what());
        RecordError(static_cast<std::int32_t>(ERROR_INVALID_DATA));
        return S_FALSE;
    }
}

HRESULT CArchiveExtractCallback::OpenOutput(const std::wstring& itemPath, const std::wstring& outputPath,
                                            ISequentialOutStream** stream) {
    std::wstring path = outputPath;
    ProtoValue* options = m_setup.options;
    if (options && options->isMap()) {
        const ProtoValue& reserved = std::as_const(*options)[L"reserved_file"];
        if (reserved.isArray()) {
            for (const ProtoValue& entry : reserved.array()) {
                if (!entry.isString() || !EqualsNoCaseW(entry.string(), itemPath)) continue;
                path = outputPath + L"." + std::to_wstring(SeededRandom());
                (*options)[L"tmp_file"].append(path);
                (*options)[L"real_file"].append(outputPath);
                break;
            }
        }
    }

    auto* out = new COutFileStream(this);
    out->AddRef();
    const std::wstring folder = GetDirectoryPart(path);
    if (!folder.empty() && !CreateDirByXj(folder)) {
        RecordError(ErrorOr(GetLastError(), sevenzip::kErrorDirectoryNotCreated));
        out->Release();
        return S_FALSE;
    }
    if (!out->Open(path)) {
        RecordError(ErrorOr(GetLastError(), sevenzip::kErrorFileNotOpened));
        out->Release();
        return S_FALSE;
    }
    *stream = out;
    return S_OK;
}

HRESULT CArchiveExtractCallback::PrepareOperation(std::int32_t) noexcept {
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetOperationResult(std::int32_t result) noexcept {
    // Departs from the original behaviour (the result was ignored): a failed item fails the run.
    // A damaged item, a wrong password or an unknown method leaves a file that is not the archive's.
    if (result != sevenzip::kOperationOk) {
        XJ_LOG_ERROR("7z item failed with %d", static_cast<int>(result));
        if (m_recordedError == 0) RecordError(sevenzip::kErrorDataDamaged);  // an output's own error says more
    }
    return S_OK;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* password) noexcept {
    if (!password) return E_POINTER;
    *password = m_setup.calls.sysAllocString(m_setup.password.c_str());
    return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT CArchiveExtractCallback::SetSubArchiveName(const wchar_t*) noexcept {
    return S_OK;
}

void CArchiveExtractCallback::RecordError(std::int32_t code) noexcept {
    m_recordedError = code;
}
