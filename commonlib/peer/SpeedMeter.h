// Transfer speed over a short sliding window, fed with byte counts and a millisecond clock.
//
// One owner thread; not thread-safe. Time is passed in, so tests drive it without sleeping.
#pragma once

#include <array>
#include <cstdint>

class CSpeedMeter {
public:
    // The window spans this many one-second buckets: long enough to smooth the bursts of a
    // block-by-block download, short enough to see a stall within a few seconds.
    static constexpr int kBuckets = 5;

    void Add(std::uint64_t bytes, std::uint64_t nowMs);
    // Bytes per second over the window, counting only the time since the first sample when
    // that is shorter, so a fresh meter is not diluted by empty history.
    std::uint64_t BytesPerSecond(std::uint64_t nowMs) const;
    std::uint64_t Total() const { return m_total; }

private:
    struct Bucket {
        std::uint64_t second = 0;
        std::uint64_t bytes = 0;
    };
    std::array<Bucket, kBuckets> m_buckets{};
    std::uint64_t m_startMs = 0;
    bool m_started = false;
    std::uint64_t m_total = 0;
};
