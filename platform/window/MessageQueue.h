// The message queue of one thread: posted messages, messages sent from other
// threads, the quit flag, the timer list and the windows waiting for WM_PAINT.
//
// A thread gets its queue on first use (ForCurrentThread) and keeps it until it
// ends. Post, Wake, SendAcrossThreads and the timer calls are safe from any thread
// and wake the owner at once when it sleeps. Retrieve runs only on the owning
// thread and may be entered again from a window procedure (modal loops): every
// frame takes from the same batch, so order holds. Procedures are called only
// outside the queue's lock. When the owning thread ends, its windows leave the
// table, later posts fail and waiting senders get 0.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/window/TimerList.h"
#include "platform/window/WindowTypes.h"

namespace platform {

class WindowObject;

class MessageQueue : public std::enable_shared_from_this<MessageQueue> {
public:
    enum class Removal { Keep, Remove };
    enum class Blocking { NoWait, Wait };

    // hwnd null takes every message of the thread, (HWND)-1 only thread
    // messages, anything else that window's. first = last = 0 takes all numbers.
    struct Filter {
        HWND hwnd = nullptr;
        UINT first = 0;
        UINT last = 0;
    };

    static std::shared_ptr<MessageQueue> ForCurrentThread();
    static std::shared_ptr<MessageQueue> CurrentIfAny();
    // The queue of a live thread by its id; null when it has none.
    static std::shared_ptr<MessageQueue> ForThread(DWORD threadId);
    // The calling thread's id: what GetWindowThreadProcessId reports and
    // PostThreadMessageW takes. Must stay the same number as GetCurrentThreadId.
    static DWORD CurrentThreadId();
    // Milliseconds of the monotonic clock, as message times carry them.
    static DWORD TickCount();

    explicit MessageQueue(DWORD threadId);
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    DWORD ThreadId() const { return m_threadId; }
    bool IsOwnerThread() const { return CurrentThreadId() == m_threadId; }

    // Any thread. False when the owning thread has ended. `target` is the
    // window the message is for (null for thread messages); a message whose
    // window is gone by retrieval is dropped.
    bool Post(const MSG& message, std::shared_ptr<WindowObject> target);
    // Any thread: makes a sleeping Retrieve look at its state again.
    void Wake();
    // Any thread. Input from the display, turned into messages on the owner
    // thread when no posted message waits, one event at a time, so its sent
    // and posted messages keep their order. False when the thread has ended.
    bool PostInput(std::function<void()> route);

    // Owner thread.
    void PostQuit(int exitCode);
    // Fills `out` with the next message in the order: posted messages, input,
    // the quit flag, WM_PAINT, due timers. Messages sent from other threads are
    // delivered on the way and never returned. False only without waiting.
    bool Retrieve(MSG* out, const Filter& filter, Removal removal, Blocking blocking);
    DWORD LastMessageTime() const { return m_lastMessageTime; }

    // Sends `message` to `target`, a window of another thread, from the calling
    // thread, and waits for the reply while serving messages sent to the caller.
    // 0 when the target or its thread goes away first.
    static LRESULT SendAcrossThreads(const std::shared_ptr<WindowObject>& target, UINT message, WPARAM wParam,
                                     LPARAM lParam);

    // Timers; any thread. A thread timer (hwnd null) gets a new id unless `id`
    // names one of this queue's thread timers, which is then replaced. Returns
    // the id in effect (1 for a window timer with id 0).
    UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, TIMERPROC proc);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    void KillTimersOf(HWND hwnd);
    // Whether `proc` is the procedure of a live timer, so a forged WM_TIMER
    // cannot make DispatchMessageW call an arbitrary address.
    bool IsTimerProcedure(HWND hwnd, UINT_PTR id, TIMERPROC proc) const;

    // Any thread: `window` has an invalid area; WM_PAINT comes when the queue
    // is otherwise empty of posted messages.
    void SchedulePaint(const std::shared_ptr<WindowObject>& window);

    // The clock of this queue's timers; any thread.
    std::shared_ptr<ITimerClock> Clock() const;
    void SetClockForTesting(std::shared_ptr<ITimerClock> clock);

private:
    struct PendingSend;
    struct Queued {
        MSG message;
        std::shared_ptr<WindowObject> target;
    };

    void Ended();
    bool EnqueueSend(const std::shared_ptr<PendingSend>& send);
    void CompleteSend(PendingSend& send, LRESULT result);
    void WaitForReply(const PendingSend& send);
    // Delivers one message sent from another thread; false when none waits.
    bool DeliverOneSend();
    bool TakePosted(MSG* out, const Filter& filter, Removal removal);
    // Routes one input event; false when none waits or the filter takes no input messages.
    bool RouteOneInput(const Filter& filter);
    bool TakeQuit(MSG* out, const Filter& filter, Removal removal);
    bool TakePaint(MSG* out, const Filter& filter);
    bool TakeTimer(MSG* out, const Filter& filter, Removal removal);
    // Waits until something arrives or `deadline` (of the timer clock) passes.
    void SleepLocked(std::unique_lock<std::mutex>& lock, std::optional<ITimerClock::TimePoint> deadline);
    void NoteActivityLocked();

    const DWORD m_threadId;

    mutable std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_sleeping = false;
    uint64_t m_activity = 0;
    bool m_ended = false;
    std::vector<Queued> m_posted;
    std::deque<std::shared_ptr<PendingSend>> m_sends;
    std::deque<std::function<void()>> m_input;
    bool m_quitPending = false;
    int m_quitCode = 0;
    TimerList m_timers;
    std::vector<std::weak_ptr<WindowObject>> m_paintPending;
    std::shared_ptr<ITimerClock> m_clock;

    // Owner thread only: messages swapped out of m_posted, consumed from m_batchNext.
    std::vector<Queued> m_batch;
    size_t m_batchNext = 0;
    DWORD m_lastMessageTime = 0;

    friend class QueueThreadExit;
};

// The calling thread's timer clock (its queue's): what its timers, schedulers and
// time-outs measure time with.
std::shared_ptr<ITimerClock> CurrentThreadClock();

}  // namespace platform
