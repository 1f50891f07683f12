// A re-entrant lock with a nesting counter, shared by the report classes and the
// diagnostics thread.
//
// Any thread may lock; the thread that locked unlocks, as often as it locked. The
// counter is the number of nested Lock calls of the owning thread; other threads may read
// it only as a hint. Unlocking a lock the thread does not hold is a programmer error.
#pragma once

#include <atomic>

#include "platform/sync/CriticalSection.h"

class CLock {
public:
    CLock();
    ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    void Lock();
    void Unlock();
    int GetLockCount() const { return m_count.load(std::memory_order_relaxed); }

private:
    CRITICAL_SECTION m_section;
    std::atomic<int> m_count{0};
};

// Holds a CLock for one scope.
class CAutoLock {
public:
    explicit CAutoLock(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CAutoLock() { m_lock.Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CLock& m_lock;
};
