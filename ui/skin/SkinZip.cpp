#include "ui/skin/SkinZip.h"

#include <zlib.h>

#include <cstring>
#include <cwctype>
#include <mutex>

#include "platform/strings/StringConv.h"

namespace SkinUI {

namespace {

constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
// Deflate cannot expand data by more than about 1032:1; a declared size beyond that is a
// lie, and refusing it keeps a tiny archive from asking for gigabytes.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kDeflateSlack = 1024;

// Callers check ranges before reading; the readers check again and give 0 rather than read past the end.
class ByteView {
public:
    explicit ByteView(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    size_t Size() const { return m_bytes.size(); }
    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    uint16_t U16(size_t offset) const {
        if (!Has(offset, 2)) return 0;
        return static_cast<uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
    }
    uint32_t U32(size_t offset) const {
        if (!Has(offset, 4)) return 0;
        return static_cast<uint32_t>(m_bytes[offset]) | (static_cast<uint32_t>(m_bytes[offset + 1]) << 8) |
               (static_cast<uint32_t>(m_bytes[offset + 2]) << 16) | (static_cast<uint32_t>(m_bytes[offset + 3]) << 24);
    }
    const uint8_t* At(size_t offset) const { return m_bytes.data() + offset; }

private:
    std::span<const uint8_t> m_bytes;
};

std::wstring LookupKey(std::wstring_view name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        if (c == L'\\') {
            c = L'/';
        } else {
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        }
    }
    return key;
}

void SetError(SkinZipError* error, SkinZipError value) {
    if (error != nullptr) *error = value;
}

}  // namespace

std::unique_ptr<CSkinZip> CSkinZip::Open(std::vector<uint8_t> bytes, SkinZipError* error) {
    std::unique_ptr<CSkinZip> zip(new CSkinZip(std::move(bytes)));
    const SkinZipError result = zip->ReadDirectory();
    SetError(error, result);
    if (result != SkinZipError::None) return nullptr;
    return zip;
}

SkinZipError CSkinZip::ReadDirectory() {
    const ByteView view(m_bytes);
    if (view.Size() < kEndOfDirectorySize) return SkinZipError::NotAnArchive;

    // The end record sits at the very end unless a comment follows it; search backwards over
    // the longest possible comment and take the last record whose comment fits the buffer.
    size_t end = 0;
    bool found = false;
    const size_t last = view.Size() - kEndOfDirectorySize;
    const size_t first = last > kMaxCommentSize ? last - kMaxCommentSize : 0;
    for (size_t pos = last + 1; pos-- > first;) {
        if (view.U32(pos) != kEndOfDirectorySignature) continue;
        if (!view.Has(pos + kEndOfDirectorySize, view.U16(pos + 20))) continue;
        end = pos;
        found = true;
        break;
    }
    if (!found) return SkinZipError::NotAnArchive;

    const uint16_t disk = view.U16(end + 4);
    const uint16_t directoryDisk = view.U16(end + 6);
    const uint16_t entriesOnDisk = view.U16(end + 8);
    const uint16_t entryCount = view.U16(end + 10);
    const uint32_t directorySize = view.U32(end + 12);
    const uint32_t directoryOffset = view.U32(end + 16);

    if (end >= kZip64LocatorSize && view.U32(end - kZip64LocatorSize) == kZip64LocatorSignature) {
        return SkinZipError::Zip64Unsupported;
    }
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) {
        return SkinZipError::Zip64Unsupported;
    }
    if (disk != 0 || directoryDisk != 0 || entriesOnDisk != entryCount) return SkinZipError::MultiDiskUnsupported;
    if (!view.Has(directoryOffset, directorySize)) return SkinZipError::Truncated;
    if (static_cast<uint64_t>(directoryOffset) + directorySize > end) return SkinZipError::Corrupt;
    if (static_cast<uint64_t>(entryCount) * kCentralHeaderSize > directorySize) return SkinZipError::Truncated;

    const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
    std::vector<SkinZipEntry> entries;
    entries.reserve(entryCount);
    size_t pos = directoryOffset;
    for (uint16_t i = 0; i < entryCount; ++i) {
        if (pos + kCentralHeaderSize > directoryEnd) return SkinZipError::Truncated;
        if (view.U32(pos) != kCentralHeaderSignature) return SkinZipError::Corrupt;
        const size_t nameLength = view.U16(pos + 28);
        const size_t extraLength = view.U16(pos + 30);
        const size_t commentLength = view.U16(pos + 32);
        const size_t next = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > directoryEnd) return SkinZipError::Truncated;

        SkinZipEntry entry;
        entry.flags = view.U16(pos + 8);
        entry.method = view.U16(pos + 10);
        entry.crc32 = view.U32(pos + 16);
        entry.compressedSize = view.U32(pos + 20);
        entry.uncompressedSize = view.U32(pos + 24);
        entry.localHeaderOffset = view.U32(pos + 42);
        if (entry.compressedSize == 0xFFFFFFFF || entry.uncompressedSize == 0xFFFFFFFF ||
            entry.localHeaderOffset == 0xFFFFFFFF || view.U16(pos + 34) == 0xFFFF) {
            return SkinZipError::Zip64Unsupported;
        }
        if (view.U16(pos + 34) != 0) return SkinZipError::MultiDiskUnsupported;
        entry.name = platform::WideFromUtf8(
            std::string_view(reinterpret_cast<const char*>(view.At(pos + kCentralHeaderSize)), nameLength));
        entries.push_back(std::move(entry));
        pos = next;
    }

    m_entries = std::move(entries);
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_byName.emplace(LookupKey(m_entries[i].name), i);
    return SkinZipError::None;
}

const SkinZipEntry* CSkinZip::EntryAt(int index) const {
    if (index < 0 || index >= EntryCount()) return nullptr;
    return &m_entries[static_cast<size_t>(index)];
}

const SkinZipEntry* CSkinZip::FindEntry(std::wstring_view name) const {
    const auto found = m_byName.find(LookupKey(name));
    return found == m_byName.end() ? nullptr : &m_entries[found->second];
}

bool CSkinZip::ReadEntry(std::wstring_view name, std::vector<uint8_t>* out, SkinZipError* error) const {
    out->clear();
    const SkinZipEntry* entry = FindEntry(name);
    if (entry == nullptr) {
        SetError(error, SkinZipError::NotFound);
        return false;
    }
    return ReadEntry(*entry, out, error);
}

bool CSkinZip::ReadEntry(const SkinZipEntry& entry, std::vector<uint8_t>* out, SkinZipError* error) const {
    out->clear();
    const SkinZipError result = Extract(entry, out);
    SetError(error, result);
    if (result != SkinZipError::None) {
        out->clear();
        out->shrink_to_fit();
        return false;
    }
    return true;
}

SkinZipError CSkinZip::Extract(const SkinZipEntry& entry, std::vector<uint8_t>* out) const {
    if ((entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0) return SkinZipError::Encrypted;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) return SkinZipError::UnsupportedMethod;

    const ByteView view(m_bytes);
    const size_t local = entry.localHeaderOffset;
    if (!view.Has(local, kLocalHeaderSize)) return SkinZipError::Truncated;
    if (view.U32(local) != kLocalHeaderSignature) return SkinZipError::Corrupt;
    if (view.U16(local + 8) != entry.method) return SkinZipError::Corrupt;
    if ((view.U16(local + 6) & (kFlagEncrypted | kFlagStrongEncryption)) != 0) return SkinZipError::Encrypted;
    const uint64_t dataStart =
        static_cast<uint64_t>(local) + kLocalHeaderSize + view.U16(local + 26) + view.U16(local + 28);
    if (!view.Has(dataStart, entry.compressedSize)) return SkinZipError::Truncated;
    const uint8_t* data = view.At(static_cast<size_t>(dataStart));

    if (entry.method == kMethodStored) {
        if (entry.compressedSize != entry.uncompressedSize) return SkinZipError::SizeMismatch;
        if (entry.uncompressedSize > kMaxEntrySize) return SkinZipError::TooLarge;
        out->assign(data, data + entry.compressedSize);
    } else {
        if (entry.uncompressedSize > static_cast<uint64_t>(entry.compressedSize) * kMaxDeflateRatio + kDeflateSlack) {
            return SkinZipError::SizeMismatch;
        }
        // Refused before anything is allocated or inflated.
        if (entry.uncompressedSize > kMaxEntrySize) return SkinZipError::TooLarge;
        // One byte beyond the declared size tells a stream that would produce more.
        out->resize(static_cast<size_t>(entry.uncompressedSize) + 1);
        z_stream stream;
        std::memset(&stream, 0, sizeof(stream));
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return SkinZipError::BadDeflateData;
        stream.next_in = const_cast<Bytef*>(data);
        stream.avail_in = entry.compressedSize;
        stream.next_out = out->data();
        stream.avail_out = static_cast<uInt>(out->size());
        const int rc = inflate(&stream, Z_FINISH);
        const uint64_t produced = stream.total_out;
        const bool outputFull = stream.avail_out == 0;
        inflateEnd(&stream);
        if (rc == Z_STREAM_END) {
            if (produced != entry.uncompressedSize) return SkinZipError::SizeMismatch;
        } else if (rc == Z_BUF_ERROR || rc == Z_OK) {
            return outputFull ? SkinZipError::SizeMismatch : SkinZipError::Truncated;
        } else {
            return SkinZipError::BadDeflateData;
        }
        out->resize(entry.uncompressedSize);
    }

    const uLong crc = crc32(crc32(0L, Z_NULL, 0), out->data(), static_cast<uInt>(out->size()));
    if (crc != entry.crc32) return SkinZipError::CrcMismatch;
    return SkinZipError::None;
}

namespace {

// Open handles and how many holders each has. A handle that is not listed (never opened
// here, or already freed) is ignored by the calls below.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<CSkinZip*, int> holders;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

}  // namespace

HSKINZIP OpenSkinZip(const void* data, size_t size, SkinZipError* error) {
    if (data == nullptr && size != 0) {
        SetError(error, SkinZipError::NotAnArchive);
        return nullptr;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> copy(bytes, bytes + size);
    HSKINZIP zip = CSkinZip::Open(std::move(copy), error).release();
    if (zip == nullptr) return nullptr;
    HandleTable& table = Handles();
    std::lock_guard lock(table.mutex);
    table.holders[zip] = 1;
    return zip;
}

HSKINZIP RetainSkinZip(HSKINZIP zip) {
    HandleTable& table = Handles();
    std::lock_guard lock(table.mutex);
    const auto it = table.holders.find(zip);
    if (it == table.holders.end()) return nullptr;
    ++it->second;
    return zip;
}

void CloseSkinZip(HSKINZIP zip) {
    HandleTable& table = Handles();
    {
        std::lock_guard lock(table.mutex);
        const auto it = table.holders.find(zip);
        if (it == table.holders.end()) return;
        if (--it->second > 0) return;
        table.holders.erase(it);
    }
    delete zip;
}

}  // namespace SkinUI
