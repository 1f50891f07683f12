// A clock that moves only when the test moves it, for the UI thread's timers, the HTTP
// schedulers' time-outs and retry delays, and the download queue's timer.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "platform/sync/TimerClock.h"
#include "platform/window/MessageQueue.h"

namespace testsupport {

class ManualClock final : public platform::ITimerClock {
public:
    TimePoint Now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void Advance(std::chrono::milliseconds by) {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }

private:
    mutable std::mutex m_mutex;
    TimePoint m_now{std::chrono::hours(1)};
};

// Puts this thread's queue, and so everything timed on this thread, on a manual clock.
// The queue keeps it until another is set (SteadyTimerClock() restores the real one).
inline std::shared_ptr<ManualClock> UseManualClock() {
    auto clock = std::make_shared<ManualClock>();
    platform::MessageQueue::ForCurrentThread()->SetClockForTesting(clock);
    return clock;
}

// The calling thread on a manual clock for one scope, then back on the clock it had.
class ScopedManualClock {
public:
    ScopedManualClock()
        : m_queue(platform::MessageQueue::ForCurrentThread()),
          m_previous(m_queue->Clock()),
          m_clock(std::make_shared<ManualClock>()) {
        m_queue->SetClockForTesting(m_clock);
    }
    ~ScopedManualClock() { m_queue->SetClockForTesting(m_previous); }
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;

    void Advance(std::chrono::milliseconds by) { m_clock->Advance(by); }

private:
    std::shared_ptr<platform::MessageQueue> m_queue;
    std::shared_ptr<platform::ITimerClock> m_previous;
    std::shared_ptr<ManualClock> m_clock;
};

}  // namespace testsupport
