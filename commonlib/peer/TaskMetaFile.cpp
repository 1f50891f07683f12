#include "commonlib/peer/TaskMetaFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/core/ProtoValueStream.h"
#include "commonlib/peer/QVDownloadFileIO.h"
#include "commonlib/util/StringUtils.h"
#include "platform/types/ErrorCodes.h"

namespace {

const std::wstring kKeyVersion = L"version";
const std::wstring kKeySize = L"size";
const std::wstring kKeyMd5 = L"md5";
const std::wstring kKeyGaps = L"gaps";

// Resume files are a few hundred bytes; anything far larger is not ours.
constexpr off_t kMaxMetaFileBytes = 16 * 1024 * 1024;

bool ReadWholeFile(const std::string& path, std::string& bytes, bool& missing) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    bytes.clear();
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || static_cast<off_t>(bytes.size()) + n > kMaxMetaFileBytes) {
            ok = false;
            break;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

DWORD WriteWholeFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return WinErrorFromErrno(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const DWORD error = n < 0 ? WinErrorFromErrno(errno) : ERROR_DISK_FULL;
            ::close(fd);
            return error;
        }
        done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 ? 0 : WinErrorFromErrno(errno);
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
    if (!ReadWholeFile(DownloadHostPath(m_path), bytes, missing)) {
        return missing ? LoadResult::Missing : LoadResult::Corrupt;
    }
    ProtoValue root;
    if (DecodeProtoValue(bytes, root) != ProtoDecodeError::None || !root.isMap()) return LoadResult::Corrupt;
    const ProtoValue version = root.get(kKeyVersion, ProtoValue());
    const ProtoValue storedSize = root.get(kKeySize, ProtoValue());
    const ProtoValue storedMd5 = root.get(kKeyMd5, ProtoValue());
    if (!version.isInteger() || !storedSize.isInteger() || !storedMd5.isString()) return LoadResult::Corrupt;
    if (version.integer() != kVersion) return LoadResult::Foreign;
    if (storedSize.integer() < 0 || static_cast<std::uint64_t>(storedSize.integer()) != size ||
        ToLowerW(storedMd5.string()) != ToLowerW(md5)) {
        return LoadResult::Foreign;
    }
    std::vector<ByteRange> loaded;
    if (!ToGaps(root.get(kKeyGaps, ProtoValue()), size, loaded)) return LoadResult::Corrupt;
    gaps = std::move(loaded);
    return LoadResult::Loaded;
}

DWORD CTaskMetaFile::Save(std::uint64_t size, const std::wstring& md5, const std::vector<ByteRange>& gaps) const {
    ProtoValue root(ProtoValue::Type::Map);
    root[kKeyVersion] = ProtoValue(kVersion);
    root[kKeySize] = ProtoValue(static_cast<std::int64_t>(size));
    root[kKeyMd5] = ProtoValue(md5);
    ProtoValue list(ProtoValue::Type::Array);
    for (const ByteRange& gap : gaps) {
        list.append(ProtoValue(static_cast<std::int64_t>(gap.begin)));
        list.append(ProtoValue(static_cast<std::int64_t>(gap.end)));
    }
    root[kKeyGaps] = std::move(list);
    std::string bytes;
    if (!EncodeProtoValue(root, bytes)) return ERROR_INVALID_DATA;
    const std::string path = DownloadHostPath(m_path);
    const std::string sibling = path + ".tmp";
    if (const DWORD error = WriteWholeFile(sibling, bytes); error != 0) {
        ::unlink(sibling.c_str());
        return error;
    }
    if (::rename(sibling.c_str(), path.c_str()) != 0) {
        const DWORD error = WinErrorFromErrno(errno);
        ::unlink(sibling.c_str());
        return error;
    }
    return 0;
}

void CTaskMetaFile::Remove() const {
    const std::string path = DownloadHostPath(m_path);
    ::unlink(path.c_str());
    ::unlink((path + ".tmp").c_str());
}
