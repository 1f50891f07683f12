#include "commonlib/http/SpeedCenter.h"

#include <algorithm>

std::int64_t CSpeedCenter::ShareFor(int transfers) const {
    const std::int64_t limit = Limit();
    if (limit <= 0) return 0;
    // Never 0: a share of 0 would read as "unlimited".
    return std::max<std::int64_t>(1, limit / std::max(1, transfers));
}
