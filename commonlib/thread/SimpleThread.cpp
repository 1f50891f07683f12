#include "commonlib/thread/SimpleThread.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>

struct CSimpleThread::SharedState {
    std::atomic<std::uint8_t> stopFlag{0};
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;

    void MarkEnded() {
        std::lock_guard lock(mutex);
        running = false;
        ended.notify_all();
    }
};

namespace {

// The one place that turns a thread into the number callers log and compare.
DWORD ThreadIdNumber(std::thread::id id) {
    const auto number = static_cast<DWORD>(std::hash<std::thread::id>{}(id));
    return number != 0 ? number : 1;  // 0 means "no thread"
}

// FIXME: route these through the loggers once they exist; stderr until then.
void LogThreadProblem(const char* what, DWORD threadId) {
    std::fprintf(stderr, "[WARN] [%s:%d] CSimpleThread %u: %s\n", __FILE__, __LINE__, threadId, what);
}

}  // namespace

CSimpleThread::CSimpleThread() : m_state(std::make_shared<SharedState>()) {}

CSimpleThread::~CSimpleThread() {
    // Only reached with a live thread when the owner skipped Stop; joining could hang, and
    // letting std::thread's destructor see a joinable thread would end the process.
    if (!m_thread.joinable()) return;
    bool running;
    {
        std::lock_guard lock(m_state->mutex);
        running = m_state->running;
    }
    if (running) {
        m_state->stopFlag.store(1);
        LogThreadProblem("destroyed while its thread runs; thread abandoned", m_threadId);
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

bool CSimpleThread::Start() {
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->running) return true;
        m_state->running = true;
    }
    if (m_thread.joinable()) m_thread.join();  // ended already: this only releases it
    m_state->stopFlag.store(0);
    try {
        m_thread = std::thread([this, state = m_state] {
            try {
                Run();
            } catch (const std::exception& e) {
                LogThreadProblem(e.what(), ThreadIdNumber(std::this_thread::get_id()));
            } catch (...) {
                LogThreadProblem("unknown exception from Run", ThreadIdNumber(std::this_thread::get_id()));
            }
            state->MarkEnded();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_state->mutex);
        m_state->running = false;
        return false;
    }
    m_threadId = ThreadIdNumber(m_thread.get_id());
    return true;
}

bool CSimpleThread::Stop(DWORD timeoutMs) {
    std::unique_lock lock(m_state->mutex);
    if (m_state->running) {
        m_state->stopFlag.store(1);
        const bool endedInTime =
            m_state->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_state->running; });
        if (!endedInTime) {
            lock.unlock();
            LogThreadProblem("did not end within the stop time-out; left running", m_threadId);
            if (m_thread.joinable()) m_thread.detach();
            return false;
        }
    }
    lock.unlock();
    if (m_thread.joinable()) m_thread.join();
    return true;
}

const std::atomic<std::uint8_t>* CSimpleThread::GetStopFlagPtr() const {
    return &m_state->stopFlag;
}
