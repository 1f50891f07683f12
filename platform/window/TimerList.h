// The timers of one message queue: window timers keyed by (window, id) and
// thread timers keyed by (null, id).
//
// Not thread-safe on its own: the owning MessageQueue holds its lock around
// every call. A timer never piles up: when it comes due it yields one WM_TIMER
// and is re-armed one interval after that moment, however late it was taken.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/sync/TimerClock.h"
#include "platform/window/WindowTypes.h"

namespace platform {

class TimerList {
public:
    using TimePoint = ITimerClock::TimePoint;

    struct Due {
        HWND hwnd = nullptr;
        UINT_PTR id = 0;
        TIMERPROC proc = nullptr;
    };

    // Adds the timer, or replaces the one with the same window and id (new
    // interval and procedure, first due one interval from `now`).
    void Set(HWND hwnd, UINT_PTR id, UINT intervalMs, TIMERPROC proc, TimePoint now);
    bool Kill(HWND hwnd, UINT_PTR id);
    void KillAllOf(HWND hwnd);
    bool Contains(HWND hwnd, UINT_PTR id) const;
    bool HasProcedure(HWND hwnd, UINT_PTR id, TIMERPROC proc) const;

    // The timer due longest ago among those whose window `accepts` admits. With
    // Rearm::Yes it is armed again for one interval after `now`.
    enum class Rearm { No, Yes };
    std::optional<Due> TakeDue(TimePoint now, const std::function<bool(HWND)>& accepts, Rearm rearm);
    // When the next timer that `accepts` admits comes due.
    std::optional<TimePoint> NextDue(const std::function<bool(HWND)>& accepts) const;
    bool Empty() const { return m_entries.empty(); }

private:
    struct Entry {
        HWND hwnd = nullptr;
        UINT_PTR id = 0;
        TIMERPROC proc = nullptr;
        std::chrono::milliseconds interval{0};
        TimePoint due;
    };
    std::vector<Entry>::iterator Find(HWND hwnd, UINT_PTR id);
    std::vector<Entry>::const_iterator Find(HWND hwnd, UINT_PTR id) const;

    std::vector<Entry> m_entries;
};

}  // namespace platform
