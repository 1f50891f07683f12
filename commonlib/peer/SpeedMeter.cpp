#include "commonlib/peer/SpeedMeter.h"

#include <algorithm>

void CSpeedMeter::Add(std::uint64_t bytes, std::uint64_t nowMs) {
    if (!m_started) {
        m_started = true;
        m_startMs = nowMs;
    }
    const std::uint64_t second = nowMs / 1000;
    Bucket& bucket = m_buckets[second % kBuckets];
    if (bucket.second != second) bucket = Bucket{second, 0};
    bucket.bytes += bytes;
    m_total += bytes;
}

std::uint64_t CSpeedMeter::BytesPerSecond(std::uint64_t nowMs) const {
    if (!m_started || nowMs < m_startMs) return 0;
    const std::uint64_t second = nowMs / 1000;
    const std::uint64_t firstSecond = second + 1 >= kBuckets ? second + 1 - kBuckets : 0;
    std::uint64_t sum = 0;
    for (const Bucket& bucket : m_buckets) {
        if (bucket.second >= firstSecond && bucket.second <= second) sum += bucket.bytes;
    }
    const std::uint64_t fromMs = std::max(firstSecond * 1000, m_startMs);
    const std::uint64_t spanMs = std::max<std::uint64_t>(nowMs - fromMs, 1000);
    return sum * 1000 / spanMs;
}
