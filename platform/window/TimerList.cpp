#include "platform/window/TimerList.h"

#include <algorithm>

namespace platform {

std::vector<TimerList::Entry>::iterator TimerList::Find(HWND hwnd, UINT_PTR id) {
    return std::find_if(m_entries.begin(), m_entries.end(),
                        [&](const Entry& e) { return e.hwnd == hwnd && e.id == id; });
}

std::vector<TimerList::Entry>::const_iterator TimerList::Find(HWND hwnd, UINT_PTR id) const {
    return std::find_if(m_entries.begin(), m_entries.end(),
                        [&](const Entry& e) { return e.hwnd == hwnd && e.id == id; });
}

void TimerList::Set(HWND hwnd, UINT_PTR id, UINT intervalMs, TIMERPROC proc, TimePoint now) {
    const auto interval = std::chrono::milliseconds(std::clamp(intervalMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
    auto it = Find(hwnd, id);
    if (it == m_entries.end()) {
        m_entries.push_back(Entry{hwnd, id, proc, interval, now + interval});
        return;
    }
    it->proc = proc;
    it->interval = interval;
    it->due = now + interval;
}

bool TimerList::Kill(HWND hwnd, UINT_PTR id) {
    auto it = Find(hwnd, id);
    if (it == m_entries.end()) return false;
    m_entries.erase(it);
    return true;
}

void TimerList::KillAllOf(HWND hwnd) {
    std::erase_if(m_entries, [&](const Entry& e) { return e.hwnd == hwnd; });
}

bool TimerList::Contains(HWND hwnd, UINT_PTR id) const {
    return Find(hwnd, id) != m_entries.end();
}

bool TimerList::HasProcedure(HWND hwnd, UINT_PTR id, TIMERPROC proc) const {
    auto it = Find(hwnd, id);
    return it != m_entries.end() && it->proc == proc && proc != nullptr;
}

std::optional<TimerList::Due> TimerList::TakeDue(TimePoint now, const std::function<bool(HWND)>& accepts, Rearm rearm) {
    Entry* best = nullptr;
    for (auto& e : m_entries) {
        if (e.due > now || !accepts(e.hwnd)) continue;
        if (!best || e.due < best->due) best = &e;
    }
    if (!best) return std::nullopt;
    if (rearm == Rearm::Yes) best->due = now + best->interval;
    return Due{best->hwnd, best->id, best->proc};
}

std::optional<TimerList::TimePoint> TimerList::NextDue(const std::function<bool(HWND)>& accepts) const {
    std::optional<TimePoint> next;
    for (const auto& e : m_entries) {
        if (!accepts(e.hwnd)) continue;
        if (!next || e.due < *next) next = e.due;
    }
    return next;
}

}  // namespace platform
