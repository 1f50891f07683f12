// The objects the patch worker hands to the 7z library: the archive's input stream,
// the output streams of unpacked files, and the open and extract callbacks.
//
// All of them live on the extracting thread: the library calls them there while
// IInArchive::Open or Extract runs, and never after the last Release. They follow
// the library's reference rules: a new object has no reference, the creator takes
// the first, and the last Release deletes it. Nothing here throws into the library;
// failures come back as result codes, and the extract callback records the system
// error (or one of the program's codes) that made an item fail, for the caller to
// turn into a result pair.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/Updater/SevenZipArchive.h"
#include "commonlib/core/ProtoValue.h"

namespace sevenzip {

// Codes the extract callback records when no system error tells the cause.
inline constexpr std::int32_t kErrorStopped = 2017;
inline constexpr std::int32_t kErrorFileNotOpened = 2019;
inline constexpr std::int32_t kErrorDirectoryNotCreated = 2020;
// The system's "data error (cyclic redundancy check)", for an item the library could not unpack whole.
inline constexpr std::int32_t kErrorDataDamaged = 23;

// The library's own allocation and release functions: a string or property value
// crosses the boundary only through these.
struct LibraryCalls {
    SysAllocStringFn sysAllocString = nullptr;
    VariantClearFn variantClear = nullptr;
};

using ProgressFn = void (*)(void* user, std::uint64_t done, std::uint64_t total);

}  // namespace sevenzip

// An archive item's path as a Windows-form path relative to the destination: either
// separator is taken, empty and "." parts are dropped and ".." parts resolved. Nothing
// for a path that is absolute, holds a ':' (a drive, or a stream of a file), or climbs
// above its start. The empty text names the destination itself.
std::optional<std::wstring> RelativeItemPath(std::wstring_view path);
// Whether `path` names something strictly inside `directory` by the rule above.
bool IsInsideDirectory(std::wstring_view directory, std::wstring_view path);
// `directory`, one backslash and `name`; just `name` without a directory.
std::wstring JoinPatchPath(const std::wstring& directory, std::wstring_view name);

// A pseudo-random number from the C library's generator, seeded anew from the clock on
// every call; it only tells temporary names apart.
int SeededRandom();

// Holds the reference count of the objects below.
struct CMyUnknownImp {
    ULONG m_refCount = 0;
};

// Where an output stream reports the system error of a failed open or write.
struct unzip_error {
    virtual void RecordError(std::int32_t code) noexcept = 0;

protected:
    ~unzip_error() = default;
};

class CInFileStream final : public IInStream, public CMyUnknownImp {
public:
    CInFileStream() = default;

    // Opens an existing file for reading; on failure LastError tells why.
    bool Open(const std::wstring& path);
    // The system error of the last failed open, read or seek; 0 when none failed.
    DWORD LastError() const { return m_lastError; }
    // The file's length, leaving the position where it was; 0 without a file or when a seek fails.
    std::uint64_t Size();

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processed) noexcept override;
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) noexcept override;

private:
    ~CInFileStream();

    std::wstring m_path;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    DWORD m_lastError = 0;
};

class COutFileStream final : public ISequentialOutStream, public CMyUnknownImp {
public:
    explicit COutFileStream(unzip_error* errorSink) : m_errorSink(errorSink) {}

    // Creates the file anew (an existing one is cut to nothing).
    bool Open(const std::wstring& path);

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processed) noexcept override;

private:
    ~COutFileStream();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    unzip_error* m_errorSink;
};

class CArchiveOpenCallback final : public IArchiveOpenCallback, public ICryptoGetTextPassword, public CMyUnknownImp {
public:
    CArchiveOpenCallback() = default;

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT SetTotal(const std::uint64_t* files, const std::uint64_t* bytes) noexcept override;
    HRESULT SetCompleted(const std::uint64_t* files, const std::uint64_t* bytes) noexcept override;
    // Archives whose headers need a password are not ours: none is given.
    HRESULT CryptoGetTextPassword(BSTR* password) noexcept override;

private:
    ~CArchiveOpenCallback() = default;
};

// Unpacks each item below the destination directory. Items named in the options'
// "reserved_file" array (without regard to case) are written under a temporary name
// instead; the temporary and the real paths are appended to "tmp_file" and
// "real_file", for the caller to move into place once the whole archive is out.
class CArchiveExtractCallback final : public IArchiveExtractCallback,
                                      public ICryptoGetTextPassword,
                                      public IArchiveOpenSetSubArchiveName,
                                      public unzip_error,
                                      public CMyUnknownImp {
public:
    struct Setup {
        IInArchive* archive = nullptr;  // referenced while the callback lives
        std::wstring destination;
        std::wstring keepOut;  // a folder no item may be written into (the library's); may be empty
        const std::atomic<std::uint8_t>* stopFlag = nullptr;
        ProtoValue* options = nullptr;  // may be null
        sevenzip::ProgressFn progress = nullptr;
        void* user = nullptr;
        std::wstring password;
        sevenzip::LibraryCalls calls;
    };

    explicit CArchiveExtractCallback(Setup setup);

    // The last code recorded by a failed or damaged item, a stop or an output stream; 0 when none.
    std::int32_t RecordedError() const { return m_recordedError; }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT SetTotal(std::uint64_t total) noexcept override;
    HRESULT SetCompleted(const std::uint64_t* completed) noexcept override;
    HRESULT GetStream(std::uint32_t index, ISequentialOutStream** stream, std::int32_t askMode) noexcept override;
    HRESULT PrepareOperation(std::int32_t askMode) noexcept override;
    HRESULT SetOperationResult(std::int32_t result) noexcept override;
    HRESULT CryptoGetTextPassword(BSTR* password) noexcept override;
    HRESULT SetSubArchiveName(const wchar_t* name) noexcept override;
    void RecordError(std::int32_t code) noexcept override;

private:
    ~CArchiveExtractCallback();

    struct Item {
        std::optional<std::wstring> path;  // absent when the library has no text for it
        bool isDirectory = false;
    };
    Item ReadItem(std::uint32_t index);
    HRESULT OpenOutput(const std::wstring& itemPath, const std::wstring& outputPath, ISequentialOutStream** stream);

    Setup m_setup;
    std::uint64_t m_total = 0;
    std::uint64_t m_lastReported = 0;
    std::int32_t m_recordedError = 0;
};
