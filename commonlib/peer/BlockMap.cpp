#include "commonlib/peer/BlockMap.h"

#include <algorithm>

CBlockMap::CBlockMap(std::uint64_t size, std::uint64_t blockSize)
    : m_size(size), m_blockSize(std::max<std::uint64_t>(blockSize, 1)) {
    if (size > 0) m_free.emplace(0, size);
}

CBlockMap::CBlockMap(std::uint64_t size, std::uint64_t blockSize, const std::vector<ByteRange>& gaps)
    : m_size(size), m_blockSize(std::max<std::uint64_t>(blockSize, 1)) {
    for (ByteRange gap : gaps) {
        gap.end = std::min(gap.end, size);
        if (gap.begin < gap.end) AddFree(gap);
    }
}

void CBlockMap::AddFree(ByteRange range) {
    if (range.begin >= range.end) return;
    auto next = m_free.lower_bound(range.begin);
    if (next != m_free.begin()) {
        auto prev = std::prev(next);
        if (prev->second >= range.begin) {
            range.begin = prev->first;
            range.end = std::max(range.end, prev->second);
            m_free.erase(prev);
        }
    }
    next = m_free.lower_bound(range.begin);
    while (next != m_free.end() && next->first <= range.end) {
        range.end = std::max(range.end, next->second);
        next = m_free.erase(next);
    }
    m_free.emplace(range.begin, range.end);
}

std::optional<ByteRange> CBlockMap::Assign(int peer, std::uint64_t minSplit, const std::function<bool(int)>& mayShare,
                                           std::uint64_t limit) {
    if (m_assigned.count(peer)) return std::nullopt;
    if (!m_free.empty()) {
        auto first = m_free.begin();
        const std::uint64_t length = limit ? std::min(limit, m_blockSize) : m_blockSize;
        ByteRange range{first->first, std::min(first->second, first->first + length)};
        const std::uint64_t freeEnd = first->second;
        m_free.erase(first);
        if (range.end < freeEnd) m_free.emplace(range.end, freeEnd);
        m_assigned[peer] = Assignment{range, 0};
        return range;
    }
    // End game: take over the far half of the largest tail still in flight, so one slow
    // peer cannot hold the last block alone.
    Assignment* victim = nullptr;
    std::uint64_t victimTail = 0;
    for (auto& [id, assignment] : m_assigned) {
        if (mayShare && !mayShare(id)) continue;
        const std::uint64_t tail = assignment.range.Length() - assignment.written;
        if (tail > victimTail) {
            victimTail = tail;
            victim = &assignment;
        }
    }
    const std::uint64_t floor = std::max<std::uint64_t>(minSplit, 1);
    if (!victim || victimTail < 2 * floor) return std::nullopt;
    const std::uint64_t cut = victim->range.begin + victim->written + victimTail / 2;
    ByteRange range{cut, victim->range.end};
    victim->range.end = cut;
    m_assigned[peer] = Assignment{range, 0};
    return range;
}

bool CBlockMap::SetWritten(int peer, std::uint64_t written) {
    auto it = m_assigned.find(peer);
    if (it == m_assigned.end()) return false;
    it->second.written = std::min(written, it->second.range.Length());
    return true;
}

std::optional<ByteRange> CBlockMap::AssignmentOf(int peer) const {
    auto it = m_assigned.find(peer);
    if (it == m_assigned.end()) return std::nullopt;
    return it->second.range;
}

std::uint64_t CBlockMap::WrittenOf(int peer) const {
    auto it = m_assigned.find(peer);
    return it == m_assigned.end() ? 0 : it->second.written;
}

void CBlockMap::Release(int peer) {
    auto it = m_assigned.find(peer);
    if (it == m_assigned.end()) return;
    const Assignment& a = it->second;
    AddFree({a.range.begin + a.written, a.range.end});
    m_assigned.erase(it);
}

std::uint64_t CBlockMap::FreeBytes() const {
    std::uint64_t free = 0;
    for (const auto& [begin, end] : m_free)
        free += end - begin;
    return free;
}

std::uint64_t CBlockMap::DoneBytes() const {
    std::uint64_t left = FreeBytes();
    for (const auto& [id, a] : m_assigned)
        left += a.range.Length() - a.written;
    return m_size - left;
}

std::vector<ByteRange> CBlockMap::Gaps() const {
    std::vector<ByteRange> all;
    for (const auto& [begin, end] : m_free)
        all.push_back({begin, end});
    for (const auto& [id, a] : m_assigned) {
        if (a.written < a.range.Length()) all.push_back({a.range.begin + a.written, a.range.end});
    }
    std::sort(all.begin(), all.end(), [](const ByteRange& x, const ByteRange& y) { return x.begin < y.begin; });
    std::vector<ByteRange> merged;
    for (const ByteRange& r : all) {
        if (!merged.empty() && merged.back().end >= r.begin) {
            merged.back().end = std::max(merged.back().end, r.end);
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}
