#include "commonlib/thread/MainThreadTask.h"

#include <chrono>
#include <deque>

#include "platform/sync/Thread.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"

namespace {

constexpr auto kSlice = std::chrono::milliseconds(50);
constexpr wchar_t kWindowClass[] = L"XjMainThreadTaskWindow";
constexpr wchar_t kSignalMessage[] = L"XjMainThreadTaskSignal";

struct TaskQueue {
    std::deque<CRefPtr<MainThreadTaskBase>> tasks;
    HWND window = nullptr;
    UINT signal = 0;
    DWORD threadId = 0;
    bool signalPending = false;  // one signal in flight is enough; it drains everything queued
};

TaskQueue& Queue() {
    static TaskQueue queue;
    return queue;
}

void Signal(TaskQueue& q) {
    // Called under the lock.
    if (q.window && !q.signalPending) {
        q.signalPending = PostMessageW(q.window, q.signal, 0, 0) != FALSE;
    }
}

LRESULT QueueWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == Queue().signal) {
        RunMainThreadTask();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

CLock& GetMainThreadQueueLock() {
    static CLock lock;
    return lock;
}

bool CreateMainThreadWindow() {
    TaskQueue& q = Queue();
    CAutoLock guard(GetMainThreadQueueLock());
    if (q.window) return true;
    q.signal = RegisterWindowMessageW(kSignalMessage);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = QueueWindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);  // a second registration after a shutdown fails harmlessly
    q.window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!q.window) return false;
    q.threadId = GetCurrentThreadId();
    if (!q.tasks.empty()) Signal(q);
    return true;
}

bool PostToMainThread(CRefPtr<MainThreadTaskBase> task) {
    if (!task) return false;
    TaskQueue& q = Queue();
    CAutoLock guard(GetMainThreadQueueLock());
    if (!q.window) return false;
    q.tasks.push_back(std::move(task));
    Signal(q);
    return true;
}

size_t RunMainThreadTask() {
    TaskQueue& q = Queue();
    {
        CAutoLock guard(GetMainThreadQueueLock());
        q.signalPending = false;  // the signal that called us, if any, is consumed
    }
    const auto deadline = std::chrono::steady_clock::now() + kSlice;
    size_t ran = 0;
    for (;;) {
        CRefPtr<MainThreadTaskBase> task;
        {
            CAutoLock guard(GetMainThreadQueueLock());
            if (q.tasks.empty()) break;
            // Tasks leave the shared queue one at a time, so a task that runs a modal loop
            // finds the older ones still in front; the signal lets that loop reach them.
            task = std::move(q.tasks.front());
            q.tasks.pop_front();
            if (!q.tasks.empty()) Signal(q);
        }
        task->Run();  // outside the lock: a task may post more tasks
        ++ran;
        // Out of time: the rest waits, in order, for the signal already posted.
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return ran;
}

void ShutdownMainThreadQueue() {
    TaskQueue& q = Queue();
    std::deque<CRefPtr<MainThreadTaskBase>> dropped;
    HWND window = nullptr;
    {
        CAutoLock guard(GetMainThreadQueueLock());
        dropped.swap(q.tasks);
        window = q.window;
        q.window = nullptr;
        q.signalPending = false;
    }
    if (window) DestroyWindow(window);
    // `dropped` releases the tasks here, outside the lock.
}

DWORD GetMainThreadId() {
    return Queue().threadId;
}
