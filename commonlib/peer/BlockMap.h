// Which byte ranges of one download are fetched, being fetched by a peer, or still to fetch.
//
// Owned by one download task on the UI thread; not thread-safe. Peers are identified by
// small integers of the task's choosing. A peer holds at most one assignment at a time: a
// range it fetches from the start, reporting how many bytes of it are written. Finished
// ranges are simply absent from the map; what remains (free ranges plus the unwritten tails
// of assignments) is what a resume file must record.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

struct ByteRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;  // exclusive
    std::uint64_t Length() const { return end - begin; }
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

class CBlockMap {
public:
    // A map with everything of [0, size) still to fetch.
    CBlockMap(std::uint64_t size, std::uint64_t blockSize);
    // A map in which only `gaps` remain; ranges outside [0, size) or overlapping are clipped
    // and merged, so a damaged list can only make the download fetch more, never less.
    CBlockMap(std::uint64_t size, std::uint64_t blockSize, const std::vector<ByteRange>& gaps);

    // The next range for `peer`: the first free bytes, at most one block (or `limit` bytes,
    // when not 0). When nothing is free, the far half of the biggest unwritten tail among the
    // peers that `mayShare` accepts (all when it is empty) is split off, at least `minSplit`
    // bytes on each side; that peer's assignment shrinks. Nothing when the peer already holds
    // an assignment or nothing is left to give.
    std::optional<ByteRange> Assign(int peer, std::uint64_t minSplit,
                                    const std::function<bool(int)>& mayShare = nullptr, std::uint64_t limit = 0);

    // `written` bytes from the start of the peer's assignment are on disk. Returns false when
    // the peer holds no assignment. Progress beyond the (possibly shrunk) end is clipped.
    bool SetWritten(int peer, std::uint64_t written);
    // The peer's assignment, if any (its end may have moved since Assign).
    std::optional<ByteRange> AssignmentOf(int peer) const;
    std::uint64_t WrittenOf(int peer) const;
    // Ends the peer's assignment: the written part is done, the rest becomes free again.
    void Release(int peer);

    std::uint64_t Size() const { return m_size; }
    std::uint64_t BlockSize() const { return m_blockSize; }
    std::uint64_t DoneBytes() const;
    bool IsComplete() const { return DoneBytes() == m_size; }
    bool HasFree() const { return !m_free.empty(); }
    std::uint64_t FreeBytes() const;
    size_t AssignedCount() const { return m_assigned.size(); }
    // Everything not yet on disk, sorted and merged.
    std::vector<ByteRange> Gaps() const;

private:
    struct Assignment {
        ByteRange range;
        std::uint64_t written = 0;
    };
    void AddFree(ByteRange range);

    std::uint64_t m_size;
    std::uint64_t m_blockSize;
    std::map<std::uint64_t, std::uint64_t> m_free;  // begin -> end, disjoint, not adjacent
    std::map<int, Assignment> m_assigned;
};
