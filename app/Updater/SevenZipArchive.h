// The 7z archive library's interfaces, as far as the patch worker calls or implements
// them, with the slot order, argument types and ids of the library's binary interface.
//
// The library runs on the caller's thread: every method below is called on the
// thread that called IInArchive's method, never concurrently. Our implementations
// must not throw into the library.
//
// These stay at global scope under the library's own names (see ComBase.h): a
// sanitized build checks each call into the library's objects against their run-time
// type information by name.
#pragma once

#include <cstdint>

#include "platform/com/ComBase.h"

namespace sevenzip {

// Every id of the library is this prefix with two numbers in its last eight bytes.
constexpr GUID MakeIid(BYTE group, BYTE id) {
    return {0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, id, 0x00, 0x00}};
}

inline constexpr CLSID kClsidFormat7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

inline constexpr IID kIidSequentialInStream = MakeIid(0x03, 0x01);
inline constexpr IID kIidSequentialOutStream = MakeIid(0x03, 0x02);
inline constexpr IID kIidInStream = MakeIid(0x03, 0x03);
inline constexpr IID kIidCryptoGetTextPassword = MakeIid(0x05, 0x10);
inline constexpr IID kIidArchiveOpenCallback = MakeIid(0x06, 0x10);
inline constexpr IID kIidInArchive = MakeIid(0x06, 0x60);

// Item properties.
inline constexpr PROPID kpidPath = 3;
inline constexpr PROPID kpidIsDir = 6;

// Seek origins of IInStream::Seek.
inline constexpr std::uint32_t kSeekSet = 0;
inline constexpr std::uint32_t kSeekCurrent = 1;
inline constexpr std::uint32_t kSeekEnd = 2;

// The outcome of one item, as SetOperationResult receives it.
inline constexpr std::int32_t kOperationOk = 0;

// The library's exports, looked up by these names.
using CreateObjectFn = HRESULT (*)(const GUID* clsid, const GUID* iid, void** object);
using SysAllocStringFn = BSTR (*)(const OLECHAR* text);
using VariantClearFn = HRESULT (*)(PROPVARIANT* value);

}  // namespace sevenzip

struct ISequentialInStream : IUnknown {
    virtual HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processed) noexcept = 0;
};

struct ISequentialOutStream : IUnknown {
    virtual HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processed) noexcept = 0;
};

struct IInStream : ISequentialInStream {
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) noexcept = 0;
};

struct IProgress : IUnknown {
    virtual HRESULT SetTotal(std::uint64_t total) noexcept = 0;
    virtual HRESULT SetCompleted(const std::uint64_t* completed) noexcept = 0;
};

struct IArchiveOpenCallback : IUnknown {
    virtual HRESULT SetTotal(const std::uint64_t* files, const std::uint64_t* bytes) noexcept = 0;
    virtual HRESULT SetCompleted(const std::uint64_t* files, const std::uint64_t* bytes) noexcept = 0;
};

struct IArchiveExtractCallback : IProgress {
    virtual HRESULT GetStream(std::uint32_t index, ISequentialOutStream** stream, std::int32_t askMode) noexcept = 0;
    virtual HRESULT PrepareOperation(std::int32_t askMode) noexcept = 0;
    virtual HRESULT SetOperationResult(std::int32_t result) noexcept = 0;
};

struct ICryptoGetTextPassword : IUnknown {
    virtual HRESULT CryptoGetTextPassword(BSTR* password) noexcept = 0;
};

struct IArchiveOpenSetSubArchiveName : IUnknown {
    virtual HRESULT SetSubArchiveName(const wchar_t* name) noexcept = 0;
};

// Only the slots up to Extract are called; later ones are not declared.
struct IInArchive : IUnknown {
    virtual HRESULT Open(IInStream* stream, const std::uint64_t* maxCheckStartPosition,
                         IArchiveOpenCallback* callback) noexcept = 0;
    virtual HRESULT Close() noexcept = 0;
    virtual HRESULT GetNumberOfItems(std::uint32_t* count) noexcept = 0;
    virtual HRESULT GetProperty(std::uint32_t index, PROPID property, PROPVARIANT* value) noexcept = 0;
    virtual HRESULT Extract(const std::uint32_t* indices, std::uint32_t count, std::int32_t testMode,
                            IArchiveExtractCallback* callback) noexcept = 0;
};
