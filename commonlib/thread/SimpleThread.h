// Base of the worker threads: one thread at a time runs the derived class's Run.
//
// Start and Stop are called by the owning thread only (never concurrently, never from
// Run). Run runs on the worker; it should look at the stop flag (GetStopFlagPtr) between
// steps and return soon after it turns 1. Run must not throw; an exception that escapes
// it is caught and logged, and ends the thread.
//
// A thread cannot be killed safely on Linux. When Stop's time-out passes, the thread is
// left running (detached) with its stop flag set, and Stop returns false. Until it ends
// by itself: Start keeps answering true without starting another thread, and the object
// is still in use by Run, so the owner must not destroy it (keep it alive, or leak it on
// purpose at process exit). The flag and the "still running" state live in a block the
// thread holds a reference to, so the thread's last steps never touch freed memory once
// Run has returned. A derived class must call Stop in its own destructor: the base
// destructor runs after the derived parts are gone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/types/WinTypes.h"

class CSimpleThread {
public:
    CSimpleThread();
    virtual ~CSimpleThread();
    CSimpleThread(const CSimpleThread&) = delete;
    CSimpleThread& operator=(const CSimpleThread&) = delete;

    // True when a thread was started, or at once (starting nothing) while the previous
    // thread still runs; false when no thread could be created.
    virtual bool Start();
    // True when no thread runs afterwards: at once without a thread; after releasing a
    // thread that has ended; after a running thread ended within `timeoutMs` of its stop
    // flag being set. False when the thread was still running at the time-out and was
    // abandoned (see above).
    virtual bool Stop(DWORD timeoutMs);

    // The stop flag (0 or 1), valid for the object's lifetime and the same across restarts.
    const std::atomic<std::uint8_t>* GetStopFlagPtr() const;
    // The current or last thread's id; 0 before the first Start.
    DWORD GetThreadId() const { return m_threadId; }

protected:
    virtual int Run() = 0;

private:
    struct SharedState;

    std::thread m_thread;
    DWORD m_threadId = 0;
    std::shared_ptr<SharedState> m_state;
};
