#include "commonlib/peer/TaskMetaFile.h"

#include "commonlib/core/ProtoValue.h"
#include "commonlib/core/ProtoValueStream.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/FileApi.h"
#include "platform/fs/FileSystem.h"
#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"

namespace {

const std::wstring kKeyVersion = L"version";
const std::wstring kKeySize = L"size";
const std::wstring kKeyMd5 = L"md5";
const std::wstring kKeyGaps = L"gaps";
const std::wstring kKeyBody = L"body";
const std::wstring kKeySum = L"sum";

// Resume files are a few hundred bytes; anything far larger is not ours.
constexpr LONGLONG kMaxMetaFileBytes = 16 * 1024 * 1024;

bool ReadWholeFile(const std::wstring& path, std::string& bytes, bool& missing) {
    missing = false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= kMaxMetaFileBytes;
    if (ok) {
        bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    }
    CloseHandle(file);
    return ok;
}

DWORD WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    return error;
}

bool ToGaps(const ProtoValue& list, std::uint64_t size, std::vector<ByteRange>& gaps) {
    if (!list.isArray() || list.size() % 2 != 0) return false;
    gaps.clear();
    std::uint64_t previousEnd = 0;
    for (size_t i = 0; i < list.size(); i += 2) {
        const ProtoValue& begin = list[i];
        const ProtoValue& end = list[i + 1];
        if (!begin.isInteger() || !end.isInteger() || begin.integer() < 0) return false;
        const ByteRange range{static_cast<std::uint64_t>(begin.integer()), static_cast<std::uint64_t>(end.integer())};
        if (range.begin >= range.end || range.end > size || (i > 0 && range.begin <= previousEnd)) return false;
        previousEnd = range.end;
        gaps.push_back(range);
    }
    return true;
}

}  // namespace

CTaskMetaFile::CTaskMetaFile(std::wstring tempPath) : m_path(MetaPathOf(tempPath)) {}

CTaskMetaFile::LoadResult CTaskMetaFile::Load(std::uint64_t size, const std::wstring& md5,
                                              std::vector<ByteRange>& gaps) const {
    std::string bytes;
    bool missing = false;
    if (!ReadWholeFile(m_path, bytes, missing)) {
        return missing ? LoadResult::Missing : LoadResult::Corrupt;
    }
    ProtoValue root;
    if (DecodeProtoValue(bytes, root) != ProtoDecodeError::None || !root.isMap()) return LoadResult::Corrupt;
    const ProtoValue version = root.get(kKeyVersion, ProtoValue());
    if (!version.isInteger()) return LoadResult::Corrupt;
    ProtoValue fields;
    if (version.integer() == 1) {
        fields = std::move(root);
    } else if (version.integer() == kVersion) {
        const ProtoValue body = root.get(kKeyBody, ProtoValue());
        const ProtoValue sum = root.get(kKeySum, ProtoValue());
        if (!body.isNarrowString() || !sum.isNarrowString()) return LoadResult::Corrupt;
        const std::string& encoded = body.narrowString();
        if (MD5(encoded.data(), encoded.size()).hex_digest() != sum.narrowString()) return LoadResult::Corrupt;
        if (DecodeProtoValue(encoded, fields) != ProtoDecodeError::None || !fields.isMap()) return LoadResult::Corrupt;
    } else {
        return LoadResult::Foreign;
    }
    const ProtoValue storedSize = fields.get(kKeySize, ProtoValue());
    const ProtoValue storedMd5 = fields.get(kKeyMd5, ProtoValue());
    if (!storedSize.isInteger() || !storedMd5.isString()) return LoadResult::Corrupt;
    if (storedSize.integer() < 0 || static_cast<std::uint64_t>(storedSize.integer()) != size ||
        ToLowerW(storedMd5.string()) != ToLowerW(md5)) {
        return LoadResult::Foreign;
    }
    std::vector<ByteRange> loaded;
    if (!ToGaps(fields.get(kKeyGaps, ProtoValue()), size, loaded)) return LoadResult::Corrupt;
    gaps = std::move(loaded);
    return LoadResult::Loaded;
}

DWORD CTaskMetaFile::Save(std::uint64_t size, const std::wstring& md5, const std::vector<ByteRange>& gaps) const {
    ProtoValue fields(ProtoValue::Type::Map);
    fields[kKeySize] = ProtoValue(static_cast<std::int64_t>(size));
    fields[kKeyMd5] = ProtoValue(md5);
    ProtoValue list(ProtoValue::Type::Array);
    for (const ByteRange& gap : gaps) {
        list.append(ProtoValue(static_cast<std::int64_t>(gap.begin)));
        list.append(ProtoValue(static_cast<std::int64_t>(gap.end)));
    }
    fields[kKeyGaps] = std::move(list);
    std::string body;
    if (!EncodeProtoValue(fields, body)) return ERROR_INVALID_DATA;
    ProtoValue root(ProtoValue::Type::Map);
    root[kKeyVersion] = ProtoValue(kVersion);
    root[kKeySum] = ProtoValue(MD5(body.data(), body.size()).hex_digest());
    root[kKeyBody] = ProtoValue(std::move(body));
    std::string bytes;
    if (!EncodeProtoValue(root, bytes)) return ERROR_INVALID_DATA;
    // Not synced: a kill leaves the page cache intact, and after a power loss a torn file
    // fails its sum and the download starts over, which never yields a wrong file.
    const std::wstring sibling = m_path + L".tmp";
    if (const DWORD error = WriteWholeFile(sibling, bytes); error != 0) {
        DeleteFileW(sibling.c_str());
        return error;
    }
    if (!MoveFileExW(sibling.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(sibling.c_str());
        return error;
    }
    return 0;
}

void CTaskMetaFile::Remove() const {
    DeleteFileW(m_path.c_str());
    DeleteFileW((m_path + L".tmp").c_str());
}
