// The time source of a thread's timers, time-outs and retry delays.
//
// The steady clock is the one every program thread uses; tests put a manual clock on the
// UI thread's message queue (MessageQueue::SetClockForTesting), and the window timers,
// the HTTP schedulers and the download queue's timer all follow it. Now may be called
// from any thread.
#pragma once

#include <chrono>
#include <memory>

#include "platform/types/WinTypes.h"

namespace platform {

class ITimerClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~ITimerClock() = default;
    virtual TimePoint Now() const = 0;
};

std::shared_ptr<ITimerClock> SteadyTimerClock();

// The clock's time in milliseconds: for the steady clock, the numbers GetTickCount64 gives.
ULONGLONG TickCount64Of(const ITimerClock& clock);

}  // namespace platform
