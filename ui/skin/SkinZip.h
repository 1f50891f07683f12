// The skin archive: a zip file held in memory (the program's "ZIPRES" resource), whose
// entries are listed and read by name.
//
// Opened and closed on the UI thread; reading does not change the archive, so reads from
// several threads at once are safe. The archive keeps its own copy of the bytes, so the
// resource may go away after opening; the last CloseSkinZip frees the copy.
// Every header field is checked against the buffer before use: a corrupt or truncated archive
// or entry fails with a SkinZipError and never reads outside the buffer. Stored and deflated
// entries are read; zip64, multi-disk and encrypted archives or entries are refused.
// Entry names are taken as UTF-8; a lookup ignores case and treats '/' and '\\' alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace SkinUI {

enum class SkinZipError {
    None = 0,
    NotAnArchive = 1,  // no end-of-central-directory record
    Truncated = 2,     // a header or data reaches past the end of the buffer
    Corrupt = 3,       // a bad signature or inconsistent header fields
    Zip64Unsupported = 4,
    MultiDiskUnsupported = 5,
    Encrypted = 6,
    UnsupportedMethod = 7,  // neither stored nor deflated
    NotFound = 8,
    SizeMismatch = 9,  // the data does not have the declared size
    CrcMismatch = 10,
    BadDeflateData = 11,
    TooLarge = 12,  // larger than any skin file (an image of the largest size) could need
};

struct SkinZipEntry {
    std::wstring name;  // as stored, with its own separators
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t localHeaderOffset = 0;

    bool IsEncrypted() const { return (flags & 0x0001) != 0; }
    bool IsDirectory() const { return !name.empty() && (name.back() == L'/' || name.back() == L'\\'); }
};

class CSkinZip {
public:
    // The largest entry that is read: an uncompressed image of the largest size the image
    // decoder takes (64 M pixels of 4 bytes), with room for its headers and row bytes.
    static constexpr uint64_t kMaxEntrySize = 64ull * 1024 * 1024 * 4 + 1024 * 1024;

    // Reads the central directory of `bytes`; null (and `error` set) when it is not a usable
    // archive.
    static std::unique_ptr<CSkinZip> Open(std::vector<uint8_t> bytes, SkinZipError* error = nullptr);

    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    // Null outside 0..EntryCount()-1.
    const SkinZipEntry* EntryAt(int index) const;
    // The first entry of that name, or null.
    const SkinZipEntry* FindEntry(std::wstring_view name) const;

    // Reads and checks an entry's data (size and CRC-32). On failure `out` is empty.
    bool ReadEntry(std::wstring_view name, std::vector<uint8_t>* out, SkinZipError* error = nullptr) const;
    bool ReadEntry(const SkinZipEntry& entry, std::vector<uint8_t>* out, SkinZipError* error = nullptr) const;

private:
    explicit CSkinZip(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    SkinZipError ReadDirectory();
    SkinZipError Extract(const SkinZipEntry& entry, std::vector<uint8_t>* out) const;

    std::vector<uint8_t> m_bytes;
    std::vector<SkinZipEntry> m_entries;
    // Lookup key (lower case, '/' separators) -> index of the first entry with it.
    std::unordered_map<std::wstring, size_t> m_byName;
};

using HSKINZIP = CSkinZip*;

// Handles are counted, so one rule serves every holder: each handle from OpenSkinZip or
// RetainSkinZip is given back with one CloseSkinZip, and the last one frees the archive and
// its copy of the bytes. Whoever keeps an archive it was handed (the window base does)
// retains it, so the opener may close its own handle whenever its shut-down says. Any
// thread may call these.
// Copies `size` bytes from `data` and opens them with one holder; null (and `error` set) on
// failure.
HSKINZIP OpenSkinZip(const void* data, size_t size, SkinZipError* error = nullptr);
// Adds a holder; returns `zip`, or null when it is not an open handle.
HSKINZIP RetainSkinZip(HSKINZIP zip);
// Drops a holder; the last frees the archive. A null or unknown handle is ignored.
void CloseSkinZip(HSKINZIP zip);

}  // namespace SkinUI
