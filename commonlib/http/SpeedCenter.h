// The bandwidth limiter of an engine: one receive limit shared by the engine's transfers.
//
// Constructed switched off (no limit). Any thread may set or read the limit; the curl
// worker applies it to each transfer it starts, as an equal share of the limit among the
// transfers running then.
#pragma once

#include <atomic>
#include <cstdint>

class CSpeedCenter {
public:
    // 0 switches the limiter off.
    void SetLimit(std::int64_t bytesPerSecond) { m_limit.store(bytesPerSecond > 0 ? bytesPerSecond : 0); }
    std::int64_t Limit() const { return m_limit.load(); }
    bool IsEnabled() const { return Limit() > 0; }
    // The per-transfer limit with `transfers` running (the new one included); 0: unlimited.
    std::int64_t ShareFor(int transfers) const;

private:
    std::atomic<std::int64_t> m_limit{0};
};
