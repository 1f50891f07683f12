// The resume file of one download: the temporary file's name with ".qvmt" appended.
//
// Used by the owning task on the UI thread. The file is a ProtoValue map in the binary
// value format holding what a restart needs: the expected size, the MD5 text and the
// ranges still missing. Version 2 wraps them, encoded, with the MD5 of that encoding, so a
// damaged file is refused instead of skipping bytes never fetched; version 1 (the same
// members beside the version key, no sum) is still read. The file is replaced atomically
// (a sibling is written, then renamed over it), so a kill leaves either the previous or
// the new state, never a mix.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commonlib/peer/BlockMap.h"
#include "platform/types/WinTypes.h"

class CTaskMetaFile {
public:
    static constexpr std::int64_t kVersion = 2;

    enum class LoadResult { Loaded, Missing, Corrupt, Foreign };

    static std::wstring MetaPathOf(const std::wstring& tempPath) { return tempPath + L".qvmt"; }

    explicit CTaskMetaFile(std::wstring tempPath);

    // Loaded only for a well-formed file of version 1 or 2, with a matching sum for 2, whose
    // size and MD5 (compared without case) match; `gaps` is then sorted, disjoint and
    // inside [0, size).
    LoadResult Load(std::uint64_t size, const std::wstring& md5, std::vector<ByteRange>& gaps) const;
    // 0 or the system error of the failing step; the previous file stays in place then.
    DWORD Save(std::uint64_t size, const std::wstring& md5, const std::vector<ByteRange>& gaps) const;
    void Remove() const;

    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};
