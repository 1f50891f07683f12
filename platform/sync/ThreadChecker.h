// Checks that an object bound to one thread is only used on that thread.
//
// The checker binds to the thread that constructs it (or, after Detach, to the
// next thread that checks it). Objects the program confines to the UI thread
// hold one and assert it at the top of their public methods; the assertion
// is compiled out of release builds, the checker itself is not, so its answer
// stays available to code that wants to fail cleanly instead.
#pragma once

#include <atomic>
#include <cassert>
#include <thread>

namespace platform {

class ThreadChecker {
public:
    ThreadChecker() : m_owner(std::this_thread::get_id()) {}

    // True on the bound thread; binds first when detached.
    bool CalledOnValidThread() const {
        const std::thread::id self = std::this_thread::get_id();
        std::thread::id expected{};
        if (m_owner.compare_exchange_strong(expected, self)) return true;
        return expected == self;
    }

    // For objects made on one thread and handed to another before first use.
    void Detach() { m_owner.store(std::thread::id{}); }

private:
    mutable std::atomic<std::thread::id> m_owner;
};

}  // namespace platform

#define XJ_ASSERT_ON_THREAD(checker) assert((checker).CalledOnValidThread())
