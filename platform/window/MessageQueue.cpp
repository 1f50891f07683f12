#include "platform/window/MessageQueue.h"

#include "platform/sync/Clock.h"
#include "platform/sync/Thread.h"

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <unordered_map>
#include <utility>

#include "platform/window/WinMessages.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowObject.h"
#include "platform/window/WindowTable.h"

namespace platform {

struct MessageQueue::PendingSend {
    std::shared_ptr<WindowObject> target;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::shared_ptr<MessageQueue> replyTo;
    // Guarded by replyTo's lock.
    LRESULT result = 0;
    bool done = false;
};

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

struct QueueDirectory {
    std::mutex mutex;
    std::unordered_map<DWORD, std::weak_ptr<MessageQueue>> byThread;
};

QueueDirectory& Directory() {
    // Never destroyed: threads ending during process exit still unregister.
    static auto* directory = new QueueDirectory;
    return *directory;
}

std::atomic<UINT_PTR> g_nextThreadTimerId{1};

bool AcceptsWindow(const MessageQueue::Filter& filter, HWND hwnd) {
    if (!filter.hwnd) return true;
    if (filter.hwnd == kThreadMessagesOnly) return hwnd == nullptr;
    return hwnd == filter.hwnd;
}

bool AcceptsNumber(const MessageQueue::Filter& filter, UINT message) {
    if (filter.first == 0 && filter.last == 0) return true;
    return message >= filter.first && message <= filter.last;
}

}  // namespace

// Ends the queue with its thread; a thread_local, so it runs on that thread.
class QueueThreadExit {
public:
    ~QueueThreadExit() {
        if (!queue) return;
        queue->Ended();
        auto& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.byThread.erase(queue->ThreadId());
    }
    std::shared_ptr<MessageQueue> queue;
};

namespace {
thread_local QueueThreadExit t_queue;
}  // namespace

DWORD MessageQueue::CurrentThreadId() {
    return ::GetCurrentThreadId();
}

DWORD MessageQueue::TickCount() {
    return ::GetTickCount();
}

std::shared_ptr<MessageQueue> MessageQueue::ForCurrentThread() {
    if (!t_queue.queue) {
        auto queue = std::make_shared<MessageQueue>(CurrentThreadId());
        auto& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.byThread[queue->ThreadId()] = queue;
        t_queue.queue = std::move(queue);
    }
    return t_queue.queue;
}

std::shared_ptr<MessageQueue> MessageQueue::CurrentIfAny() {
    return t_queue.queue;
}

std::shared_ptr<MessageQueue> MessageQueue::ForThread(DWORD threadId) {
    auto& directory = Directory();
    std::lock_guard lock(directory.mutex);
    auto it = directory.byThread.find(threadId);
    return it == directory.byThread.end() ? nullptr : it->second.lock();
}

MessageQueue::MessageQueue(DWORD threadId) : m_threadId(threadId), m_clock(SteadyTimerClock()) {}

MessageQueue::~MessageQueue() = default;

void MessageQueue::NoteActivityLocked() {
    ++m_activity;
    if (m_sleeping) m_wakeUp.notify_one();
}

bool MessageQueue::Post(const MSG& message, std::shared_ptr<WindowObject> target) {
    std::lock_guard lock(m_mutex);
    if (m_ended) return false;
    m_posted.push_back(Queued{message, std::move(target)});
    NoteActivityLocked();
    return true;
}

void MessageQueue::Wake() {
    std::lock_guard lock(m_mutex);
    NoteActivityLocked();
}

bool MessageQueue::PostInput(std::function<void()> route) {
    std::lock_guard lock(m_mutex);
    if (m_ended) return false;
    m_input.push_back(std::move(route));
    NoteActivityLocked();
    return true;
}

bool MessageQueue::RouteOneInput(const Filter& filter) {
    const bool wantsInput =
        (filter.first == 0 && filter.last == 0) || (filter.first <= WM_MOUSELAST && filter.last >= WM_KEYFIRST);
    if (!wantsInput) return false;
    std::function<void()> route;
    {
        std::lock_guard lock(m_mutex);
        if (m_input.empty()) return false;
        route = std::move(m_input.front());
        m_input.pop_front();
    }
    route();
    return true;
}

void MessageQueue::PostQuit(int exitCode) {
    std::lock_guard lock(m_mutex);
    m_quitPending = true;
    m_quitCode = exitCode;
    NoteActivityLocked();
}

void MessageQueue::Ended() {
    std::deque<std::shared_ptr<PendingSend>> sends;
    std::vector<Queued> posted;
    std::deque<std::function<void()>> input;
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        sends.swap(m_sends);
        // Queued messages hold their windows, which hold this queue: drop them to break the cycle.
        posted.swap(m_posted);
        input.swap(m_input);
        m_paintPending.clear();
        m_timers = TimerList();
    }
    m_batch.clear();
    m_batchNext = 0;
    for (const auto& send : sends)
        send->replyTo->CompleteSend(*send, 0);
    const auto windows =
        WindowTable::Instance().Select([this](const WindowObject& w) { return w.Queue().get() == this; });
    for (const auto& window : windows)
        WindowTable::Instance().Retire(window);
}

bool MessageQueue::Retrieve(MSG* out, const Filter& filter, Removal removal, Blocking blocking) {
    assert(IsOwnerThread());
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(m_mutex);
            seen = m_activity;
        }
        while (DeliverOneSend()) {
        }
        bool found = TakePosted(out, filter, removal);
        if (!found && RouteOneInput(filter)) continue;  // its messages are posted by now
        if (found || TakeQuit(out, filter, removal) || TakePaint(out, filter) || TakeTimer(out, filter, removal)) {
            if (removal == Removal::Remove) m_lastMessageTime = out->time;
            return true;
        }
        if (blocking == Blocking::NoWait) return false;

        std::unique_lock lock(m_mutex);
        if (m_activity != seen) continue;
        std::optional<ITimerClock::TimePoint> deadline;
        if (AcceptsNumber(filter, WM_TIMER)) {
            deadline = m_timers.NextDue([&](HWND hwnd) { return AcceptsWindow(filter, hwnd); });
        }
        m_sleeping = true;
        const auto changed = [&] { return m_activity != seen; };
        if (deadline) {
            const auto wait = *deadline - m_clock->Now();
            m_wakeUp.wait_until(lock, std::chrono::steady_clock::now() + wait, changed);
        } else {
            m_wakeUp.wait(lock, changed);
        }
        m_sleeping = false;
    }
}

bool MessageQueue::TakePosted(MSG* out, const Filter& filter, Removal removal) {
    size_t scanFrom = m_batchNext;
    for (;;) {
        for (size_t i = scanFrom; i < m_batch.size(); ++i) {
            Queued& entry = m_batch[i];
            if (entry.target && entry.target->IsGone()) {  // its window was destroyed after posting
                if (i == m_batchNext) {
                    entry.target.reset();
                    ++m_batchNext;
                }
                continue;
            }
            if (!AcceptsWindow(filter, entry.message.hwnd) || !AcceptsNumber(filter, entry.message.message)) continue;
            *out = entry.message;
            if (removal == Removal::Remove) {
                if (i == m_batchNext) {
                    entry.target.reset();
                    ++m_batchNext;
                } else {
                    m_batch.erase(m_batch.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            return true;
        }
        std::lock_guard lock(m_mutex);
        if (m_posted.empty()) return false;
        if (m_batchNext == m_batch.size()) {
            m_batch.clear();
            m_batchNext = 0;
            m_batch.swap(m_posted);  // the emptied vector keeps its capacity for the posters
            scanFrom = 0;
        } else {
            scanFrom = m_batch.size();
            m_batch.insert(m_batch.end(), std::make_move_iterator(m_posted.begin()),
                           std::make_move_iterator(m_posted.end()));
            m_posted.clear();
        }
    }
}

bool MessageQueue::TakeQuit(MSG* out, const Filter& filter, Removal removal) {
    if (!AcceptsNumber(filter, WM_QUIT)) return false;
    std::lock_guard lock(m_mutex);
    if (!m_quitPending) return false;
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0, TickCount(), POINT{}};
    if (removal == Removal::Remove) m_quitPending = false;
    return true;
}

bool MessageQueue::TakePaint(MSG* out, const Filter& filter) {
    if (!AcceptsNumber(filter, WM_PAINT)) return false;
    std::vector<std::shared_ptr<WindowObject>> candidates;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_paintPending, [&](const std::weak_ptr<WindowObject>& weak) {
            auto window = weak.lock();
            if (!window || window->IsGone() || !window->NeedsPaint()) return true;
            if (AcceptsWindow(filter, window->Handle())) candidates.push_back(std::move(window));
            return false;
        });
    }
    for (auto window : candidates) {
        // Only windows on screen are painted: visible, as is every parent.
        if (window->IsMessageOnly() || !IsWindowVisible(window->Handle())) continue;
        // A parent draws over its children (unless it clips them), so the outermost invalid
        // ancestor paints first and the child's own paint lands on top.
        for (auto up = window; up->Style() & WS_CHILD;) {
            up = WindowTable::Instance().Find(up->Parent());
            if (!up) break;
            if (up->NeedsPaint() && up->Queue().get() == this && AcceptsWindow(filter, up->Handle())) window = up;
        }
        // The message stays due until the window validates itself (DefWindowProcW does).
        *out = MSG{window->Handle(), WM_PAINT, 0, 0, TickCount(), POINT{}};
        return true;
    }
    return false;
}

bool MessageQueue::TakeTimer(MSG* out, const Filter& filter, Removal removal) {
    if (!AcceptsNumber(filter, WM_TIMER)) return false;
    std::lock_guard lock(m_mutex);
    if (m_timers.Empty()) return false;
    const auto due = m_timers.TakeDue(
        m_clock->Now(), [&](HWND hwnd) { return AcceptsWindow(filter, hwnd); },
        removal == Removal::Remove ? TimerList::Rearm::Yes : TimerList::Rearm::No);
    if (!due) return false;
    *out = MSG{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), TickCount(), POINT{}};
    return true;
}

bool MessageQueue::EnqueueSend(const std::shared_ptr<PendingSend>& send) {
    std::lock_guard lock(m_mutex);
    if (m_ended) return false;
    m_sends.push_back(send);
    NoteActivityLocked();
    return true;
}

void MessageQueue::CompleteSend(PendingSend& send, LRESULT result) {
    std::lock_guard lock(m_mutex);
    send.result = result;
    send.done = true;
    NoteActivityLocked();
}

bool MessageQueue::DeliverOneSend() {
    std::shared_ptr<PendingSend> send;
    {
        std::lock_guard lock(m_mutex);
        if (m_sends.empty()) return false;
        send = std::move(m_sends.front());
        m_sends.pop_front();
    }
    const LRESULT result =
        send->target->IsGone() ? 0 : send->target->Deliver(send->message, send->wParam, send->lParam);
    send->replyTo->CompleteSend(*send, result);
    return true;
}

void MessageQueue::WaitForReply(const PendingSend& send) {
    assert(IsOwnerThread());
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(m_mutex);
            if (send.done) return;
            seen = m_activity;
        }
        // Serving sends aimed at this thread meanwhile keeps two threads that send to each other from deadlocking.
        if (DeliverOneSend()) continue;
        std::unique_lock lock(m_mutex);
        if (send.done) return;
        if (m_activity != seen) continue;
        m_sleeping = true;
        m_wakeUp.wait(lock, [&] { return m_activity != seen; });
        m_sleeping = false;
    }
}

LRESULT MessageQueue::SendAcrossThreads(const std::shared_ptr<WindowObject>& target, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
    auto self = ForCurrentThread();
    auto send = std::make_shared<PendingSend>();
    send->target = target;
    send->message = message;
    send->wParam = wParam;
    send->lParam = lParam;
    send->replyTo = self;
    if (!target->Queue()->EnqueueSend(send)) return 0;
    self->WaitForReply(*send);
    std::lock_guard lock(self->m_mutex);
    return send->result;
}

UINT_PTR MessageQueue::SetTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, TIMERPROC proc) {
    std::lock_guard lock(m_mutex);
    if (m_ended) return 0;
    if (!hwnd && (id == 0 || !m_timers.Contains(nullptr, id))) id = g_nextThreadTimerId.fetch_add(1);
    m_timers.Set(hwnd, id, intervalMs, proc, m_clock->Now());
    NoteActivityLocked();  // a sleeping owner must wait for the new deadline
    return hwnd && id == 0 ? 1 : id;
}

bool MessageQueue::KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(m_mutex);
    return m_timers.Kill(hwnd, id);
}

void MessageQueue::KillTimersOf(HWND hwnd) {
    std::lock_guard lock(m_mutex);
    m_timers.KillAllOf(hwnd);
}

bool MessageQueue::IsTimerProcedure(HWND hwnd, UINT_PTR id, TIMERPROC proc) const {
    std::lock_guard lock(m_mutex);
    return m_timers.HasProcedure(hwnd, id, proc);
}

void MessageQueue::SchedulePaint(const std::shared_ptr<WindowObject>& window) {
    std::lock_guard lock(m_mutex);
    if (m_ended) return;
    bool listed = false;
    for (const auto& weak : m_paintPending) {
        if (weak.lock() == window) {
            listed = true;
            break;
        }
    }
    if (!listed) m_paintPending.push_back(window);
    NoteActivityLocked();
}

std::shared_ptr<ITimerClock> MessageQueue::Clock() const {
    std::lock_guard lock(m_mutex);
    return m_clock;
}

std::shared_ptr<ITimerClock> CurrentThreadClock() {
    return MessageQueue::ForCurrentThread()->Clock();
}

void MessageQueue::SetClockForTesting(std::shared_ptr<ITimerClock> clock) {
    std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
    NoteActivityLocked();
}

}  // namespace platform
