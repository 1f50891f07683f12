// The UI-thread task queue: work handed from any thread to the UI thread.
//
// Any thread may call PostToMainThread. The tasks run on the thread that called
// CreateMainThreadWindow (the UI thread), in the order each poster queued them,
// in time slices of 50 ms: what a slice leaves waits for the next signal, in order.
// A posted message to a message-only window is the signal, so the tasks run from
// whatever message loop the UI thread is in, modal loops included: a modal loop
// opened by a task runs the tasks queued before the ones posted after it.
// Tasks are reference-counted; the queue holds one reference until the task has
// run or the queue is shut down, which drops what is still queued.
#pragma once

#include <tuple>
#include <utility>

#include "commonlib/core/RefCounted.h"
#include "commonlib/thread/Lock.h"
#include "platform/types/WinTypes.h"

class MainThreadTaskBase : public CRefThreadSafeBase {
public:
    virtual void Run() = 0;

protected:
    ~MainThreadTaskBase() override = default;
};

// A function bound to copies of its arguments. MainThreadTask2/3/4 name the
// argument counts the callers use.
template <typename Fn, typename... Args>
class MainThreadTaskN : public MainThreadTaskBase {
public:
    explicit MainThreadTaskN(Fn fn, Args... args) : m_fn(fn), m_args(std::move(args)...) {}
    void Run() override { std::apply(m_fn, m_args); }

private:
    Fn m_fn;
    std::tuple<Args...> m_args;
};

template <typename Fn, typename A1, typename A2>
using MainThreadTask2 = MainThreadTaskN<Fn, A1, A2>;
template <typename Fn, typename A1, typename A2, typename A3>
using MainThreadTask3 = MainThreadTaskN<Fn, A1, A2, A3>;
template <typename Fn, typename A1, typename A2, typename A3, typename A4>
using MainThreadTask4 = MainThreadTaskN<Fn, A1, A2, A3, A4>;

template <typename Fn, typename... Args>
CRefPtr<MainThreadTaskBase> MakeMainThreadTask(Fn fn, Args... args) {
    return CRefPtr<MainThreadTaskBase>(new MainThreadTaskN<Fn, Args...>(fn, std::move(args)...));
}

// Initialises (once) the queue's lock.
CLock& GetMainThreadQueueLock();
// Creates (once) the message-only window on the calling thread, which becomes the UI thread.
bool CreateMainThreadWindow();
// Queues a task for the UI thread; false (and the task is dropped) when the queue is shut down.
bool PostToMainThread(CRefPtr<MainThreadTaskBase> task);
// Runs queued tasks on the UI thread for at most one slice; returns how many ran.
// The queue window calls it on its signal; tests may call it directly.
size_t RunMainThreadTask();
// Drops the queued tasks under the lock and destroys the message-only window.
void ShutdownMainThreadQueue();
// The UI thread's id, recorded by CreateMainThreadWindow (0 before).
DWORD GetMainThreadId();
