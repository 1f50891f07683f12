// Ends a test's message loop when the test has not finished in time, so a lost message
// or timer fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"

namespace testsupport {

// Posts WM_QUIT to the creating thread when the test has not finished within
// `limit`, so a lost message or timer fails the test instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(std::chrono::milliseconds limit)
        : m_threadId(platform::MessageQueue::ForCurrentThread()->ThreadId()), m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (m_done.wait_for(lock, limit, [this] { return m_finished; })) return;
              m_fired = true;
              PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
        EXPECT_FALSE(m_fired) << "the message loop did not finish in time";
    }

private:
    const DWORD m_threadId;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_fired = false;
    std::thread m_thread;
};

}  // namespace testsupport
