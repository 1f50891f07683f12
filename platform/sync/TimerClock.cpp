#include "platform/sync/TimerClock.h"

namespace platform {

namespace {

class SteadyClock final : public ITimerClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

std::shared_ptr<ITimerClock> SteadyTimerClock() {
    static const auto clock = std::make_shared<SteadyClock>();
    return clock;
}

ULONGLONG TickCount64Of(const ITimerClock& clock) {
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now().time_since_epoch());
    return static_cast<ULONGLONG>(since.count());
}

}  // namespace platform
