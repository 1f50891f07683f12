#include "app/Updater/MakePatch.h"

#include <algorithm>
#include <string_view>

#include "commonlib/core/Singleton.h"
#include "commonlib/logger/FileLogger.h"
#include "commonlib/logger/Log.h"
#include "commonlib/util/FileUtils.h"
#include "commonlib/util/PathString.h"
#include "platform/fs/FileApi.h"
#include "platform/fs/FileSystem.h"
#include "platform/module/Module.h"
#include "platform/resource/Resource.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

constexpr DWORD kStopTimeoutMs = 3000;
constexpr std::uint64_t kMaxStartPosition = 0x800000;  // how far into the file the library looks for a 7z header

constexpr WORD kLibraryResourceId = 155;
constexpr WORD kRuntimeResourceId = 156;
constexpr const wchar_t* kResourceType = L"RESDLL";
constexpr const wchar_t* kLibraryFileName = L"Qvxj7z.dll";
constexpr const wchar_t* kRuntimeFileName = L"msvcr100.dll";

// Result pairs of an extraction (type first).
constexpr std::int32_t kTypeSystem = 1;
constexpr std::int32_t kTypeOwn = 3;
constexpr std::int32_t kCodeArchiveNotOpened = 2019;
constexpr std::int32_t kCodeLibraryFailed = 2029;
constexpr std::int32_t kCodeLibraryNotLoaded = 2031;
constexpr std::int32_t kCodeNoCreateObject = 2032;

// Holds one reference to a COM object and releases it when it goes.
template <typename T>
class ComHold {
public:
    explicit ComHold(T* object = nullptr) : m_object(object) {
        if (m_object) m_object->AddRef();
    }
    ~ComHold() {
        if (m_object) m_object->Release();
    }
    ComHold(const ComHold&) = delete;
    ComHold& operator=(const ComHold&) = delete;

    // Takes over a reference the caller already holds.
    void Adopt(T* object) {
        if (m_object) m_object->Release();
        m_object = object;
    }
    T* operator->() const { return m_object; }
    T* Get() const { return m_object; }

private:
    T* m_object;
};

void LogToFile(LogLevel level, int line, const wchar_t* format, const std::wstring& text, int type = 0, int code = 0) {
    CSingleton<FileLogger>::GetInstance().LogAt(level, line, __FILE__, format, text.c_str(), type, code);
}

// Writes the program's resource to `path`. The bytes go to a sibling first and are renamed
// over the target: a library already loaded from the old file (here or in another process)
// keeps its pages, where rewriting the file in place would pull them from under it.
bool WriteResourceFile(HRSRC resource, const std::wstring& path) {
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(nullptr, resource);
    if (!bytes) return false;
    const std::wstring temporary = path + L"." + std::to_wstring(SeededRandom()) + L".tmp";
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    DWORD error = GetLastError();
    CloseHandle(file);
    if (whole && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (whole) error = GetLastError();
    DeleteFileW(temporary.c_str());
    SetLastError(error);
    return false;
}

// How many names a new library folder may try before the load gives up.
constexpr int kLibraryFolderTries = 16;

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

// A new, empty folder for the library beside the destination (in it when the destination is
// a drive's root); empty when none can be made.
std::wstring MakeLibraryFolder(const std::wstring& destination) {
    std::wstring parent = GetDirectoryPart(destination);
    if (parent.empty()) parent = destination;
    for (int i = 0; i < kLibraryFolderTries; ++i) {
        const std::wstring folder = JoinPatchPath(parent, L"Qvxj7z." + std::to_wstring(SeededRandom()));
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

void SetResult(SevenZipExtractor* extractor, std::int32_t type, std::int32_t code) {
    extractor->resultType = type;
    extractor->resultCode = code;
}

}  // namespace

// ---- CPatcher ----

CPatcher::CPatcher() = default;

CPatcher::~CPatcher() {
    // The run reads this object to its end and stops only between items; one still in an
    // item past the time-out is waited for, since freeing the object under it cannot be undone.
    if (!Stop(kStopTimeoutMs)) {
        XJ_LOG_WARN("[Patch]waiting for the patch thread to finish its item");
        Stop(INFINITE);
    }
    FreeMembers();
}

void CPatcher::FreeMembers() {
    m_config = PatchConfig{};
}

void CPatcher::OnProgress(void* user, std::uint64_t done, std::uint64_t total) {
    if (!user || total == 0) return;
    auto* patcher = static_cast<CPatcher*>(user);
    const int percent = static_cast<int>(done * 100 / total);
    if (patcher->m_config.progressFn) patcher->m_config.progressFn(&patcher->m_config, percent);
}

int CPatcher::Run() {
    LogToFile(LogLevel::Error, __LINE__, L"[Patch]patch %s", m_config.archivePath);
    ProtoValue options;
    options[L"reserved_file"].append(L"update.ini");
    options[L"tmp_file"] = ProtoValue(ProtoValue::Type::Array);
    options[L"real_file"] = ProtoValue(ProtoValue::Type::Array);

    SevenZipExtractor extractor;
    ExtractSevenZipArchive(&extractor, m_config.archivePath, m_config.destination, GetStopFlagPtr(), L"", &options,
                           this);
    UnloadSevenZipLibrary(&extractor);
    if (extractor.resultType != 0 || extractor.resultCode != 0)
        LogToFile(LogLevel::Error, __LINE__, L"s7ZPatchProc StopCallback %s %d %d", m_config.archivePath,
                  extractor.resultType, extractor.resultCode);
    if (m_config.finishFn) m_config.finishFn(&m_config, extractor.resultType, extractor.resultCode);
    return 0;
}

// ---- the extraction ----

SevenZipExtractor::~SevenZipExtractor() {
    UnloadSevenZipLibrary(this);
}

HMODULE LoadSevenZipLibrary(SevenZipExtractor* extractor) {
    // Departs from the original behaviour, which wrote the library into the folder holding the
    // destination, or into the destination itself when that ended in a separator: an item of
    // the library's name then cut the file short under the running code.
    std::wstring libraryPath = kLibraryFileName;
    bool written = false;
    if (const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(kLibraryResourceId), kResourceType)) {
        extractor->libraryFolder = MakeLibraryFolder(WithoutTrailingSeparators(extractor->destination));
        if (extractor->libraryFolder.empty()) {
            XJ_LOG_ERROR(L"no folder for the 7z library beside %s %d", extractor->destination.c_str(),
                         static_cast<int>(GetLastError()));
            return nullptr;
        }
        libraryPath = JoinPatchPath(extractor->libraryFolder, kLibraryFileName);
        if (!WriteResourceFile(resource, libraryPath)) {
            XJ_LOG_ERROR(L"7z library not written %s %d", libraryPath.c_str(), static_cast<int>(GetLastError()));
            return nullptr;
        }
        written = true;
        extractor->library = LoadLibraryW(libraryPath.c_str());
        if (extractor->library) return extractor->library;
    }
    WriteRuntimeDll(extractor);
    if (written) extractor->library = LoadLibraryW(libraryPath.c_str());
    if (!extractor->library)
        XJ_LOG_ERROR(L"7z.dll加载失败 %s %d", libraryPath.c_str(), static_cast<int>(GetLastError()));
    return extractor->library;
}

void WriteRuntimeDll(SevenZipExtractor* extractor) {
    const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(kRuntimeResourceId), kResourceType);
    if (!resource) return;
    if (WriteResourceFile(resource, JoinPatchPath(GetExeDir(), kRuntimeFileName))) extractor->runtimeWritten = true;
}

void UnloadSevenZipLibrary(SevenZipExtractor* extractor) {
    if (extractor->library) {
        FreeLibrary(extractor->library);
        extractor->library = nullptr;
    }
    if (!extractor->libraryFolder.empty()) {
        DeleteFolderTree(extractor->libraryFolder);
        extractor->libraryFolder.clear();
    }
    if (extractor->runtimeWritten) {
        DeleteFileW(JoinPatchPath(GetExeDir(), kRuntimeFileName).c_str());
        extractor->runtimeWritten = false;
    }
}

bool ExtractSevenZipArchive(SevenZipExtractor* extractor, const std::wstring& archive, const std::wstring& destination,
                            const std::atomic<std::uint8_t>* stopFlag, const std::wstring& password,
                            ProtoValue* options, void* user) {
    extractor->archivePath = archive;
    extractor->destination = WithoutTrailingSeparators(destination);
    extractor->password = password;
    extractor->progress = &CPatcher::OnProgress;
    extractor->options = options;
    extractor->user = user;
    extractor->stopFlag = stopFlag;
    SetResult(extractor, 0, 0);

    if (!LoadSevenZipLibrary(extractor)) {
        SetResult(extractor, kTypeOwn, kCodeLibraryNotLoaded);
        return false;
    }
    const auto createObject =
        reinterpret_cast<sevenzip::CreateObjectFn>(GetProcAddress(extractor->library, "CreateObject"));
    if (!createObject) {
        XJ_LOG_ERROR("GetProcAddress失败 CreateObject %d", static_cast<int>(GetLastError()));
        SetResult(extractor, kTypeOwn, kCodeNoCreateObject);
        return false;
    }
    sevenzip::LibraryCalls calls;
    calls.sysAllocString =
        reinterpret_cast<sevenzip::SysAllocStringFn>(GetProcAddress(extractor->library, "SysAllocString"));
    calls.variantClear = reinterpret_cast<sevenzip::VariantClearFn>(GetProcAddress(extractor->library, "VariantClear"));
    if (!calls.sysAllocString || !calls.variantClear) {
        XJ_LOG_ERROR("GetProcAddress失败 SysAllocString/VariantClear %d", static_cast<int>(GetLastError()));
        SetResult(extractor, kTypeOwn, kCodeNoCreateObject);
        return false;
    }

    ComHold<IInArchive> archiveObject;
    void* created = nullptr;
    const HRESULT creation = createObject(&sevenzip::kClsidFormat7z, &sevenzip::kIidInArchive, &created);
    if (FAILED(creation) || !created) {
        // A failed call may leave anything in `created`: it is not touched.
        XJ_LOG_ERROR("CreateObject 7z failed %d", static_cast<int>(creation));
        SetResult(extractor, kTypeOwn, kCodeNoCreateObject);
        return false;
    }
    archiveObject.Adopt(static_cast<IInArchive*>(created));

    ComHold<CInFileStream> stream(new CInFileStream);
    if (!stream->Open(archive)) {
        if (stream->LastError() != 0)
            SetResult(extractor, kTypeSystem, static_cast<std::int32_t>(stream->LastError()));
        else
            SetResult(extractor, kTypeOwn, kCodeArchiveNotOpened);
        return false;
    }
    const std::uint64_t maxStartPosition = std::min(stream->Size(), kMaxStartPosition);

    ComHold<CArchiveOpenCallback> openCallback(new CArchiveOpenCallback);
    const HRESULT opened = archiveObject->Open(stream.Get(), &maxStartPosition, openCallback.Get());
    if (opened != S_OK) {
        XJ_LOG_ERROR("Open 7z file error %d", static_cast<int>(opened));
        if (stream->LastError() != 0)
            SetResult(extractor, kTypeSystem, static_cast<std::int32_t>(stream->LastError()));
        else
            SetResult(extractor, kTypeOwn, kCodeLibraryFailed);
        return false;
    }

    CArchiveExtractCallback::Setup setup;
    setup.archive = archiveObject.Get();
    setup.destination = extractor->destination;
    setup.keepOut = extractor->libraryFolder;
    setup.stopFlag = stopFlag;
    setup.options = options;
    setup.progress = extractor->progress;
    setup.user = user;
    setup.password = password;
    setup.calls = calls;
    ComHold<CArchiveExtractCallback> extractCallback(new CArchiveExtractCallback(std::move(setup)));
    const HRESULT extracted = archiveObject->Extract(nullptr, 0xFFFFFFFF, 0, extractCallback.Get());
    if (extracted != S_OK) {
        XJ_LOG_ERROR("Extract 7z file error %d", static_cast<int>(extracted));
        if (extractCallback->RecordedError() != 0)
            SetResult(extractor, kTypeSystem, extractCallback->RecordedError());
        else
            SetResult(extractor, kTypeOwn, kCodeLibraryFailed);
        return false;
    }
    if (stopFlag && stopFlag->load()) {
        SetResult(extractor, kTypeOwn, sevenzip::kErrorStopped);
        return false;
    }
    if (extractCallback->RecordedError() != 0) {
        XJ_LOG_INFO("StopCallback %d", extractCallback->RecordedError());
        SetResult(extractor, kTypeSystem, extractCallback->RecordedError());
        return false;
    }

    if (options && options->isMap()) {
        const ProtoValue& tmpFiles = std::as_const(*options)[L"tmp_file"];
        const ProtoValue& realFiles = std::as_const(*options)[L"real_file"];
        if (tmpFiles.isArray()) {
            for (std::size_t i = 0; i < tmpFiles.size(); ++i) {
                // The lists may come from the caller: both ends of a move stay inside the destination.
                const bool paired =
                    realFiles.isArray() && i < realFiles.size() && tmpFiles[i].isString() && realFiles[i].isString();
                if (!paired || !IsInsideDirectory(extractor->destination, tmpFiles[i].string()) ||
                    !IsInsideDirectory(extractor->destination, realFiles[i].string())) {
                    XJ_LOG_ERROR("reserve worked file %u refused: not a pair of paths inside the destination",
                                 static_cast<unsigned>(i));
                    SetResult(extractor, kTypeSystem, static_cast<std::int32_t>(ERROR_INVALID_NAME));
                    return false;
                }
                const std::wstring& from = tmpFiles[i].string();
                const std::wstring& to = realFiles[i].string();
                XJ_LOG_INFO(L"processing reserve worked file %s -> %s", from.c_str(), to.c_str());
                if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
                    const DWORD error = GetLastError();
                    XJ_LOG_ERROR(L"恢复文件失败 %d:%d %s->%s", 1, static_cast<int>(error), from.c_str(), to.c_str());
                    SetResult(extractor, kTypeSystem, static_cast<std::int32_t>(error));
                    return false;
                }
            }
        }
    }
    return true;
}
