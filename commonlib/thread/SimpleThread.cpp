#include "commonlib/thread/SimpleThread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

#include "commonlib/logger/Log.h"
#include "platform/sync/Thread.h"

struct CSimpleThread::SharedState {
    std::atomic<std::uint8_t> stopFlag{0};
    std::mutex mutex;
    std::condition_variable ended;
    std::condition_variable idKnown;
    bool running = false;
    DWORD threadId = 0;  // of the thread now starting; 0 until it has told its id

    void NoteStarted(DWORD id) {
        std::lock_guard lock(mutex);
        threadId = id;
        idKnown.notify_all();
    }

    void MarkEnded() {
        std::lock_guard lock(mutex);
        running = false;
        ended.notify_all();
    }
};

namespace {

void LogThreadProblem(const char* what, DWORD threadId) {
    XJ_LOG_WARN("CSimpleThread %u: %s", threadId, what);
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
    m_state->threadId = 0;
    try {
        m_thread = std::thread([this, state = m_state] {
            state->NoteStarted(GetCurrentThreadId());
            try {
                Run();
            } catch (const std::exception& e) {
                LogThreadProblem(e.what(), GetCurrentThreadId());
            } catch (...) {
                LogThreadProblem("unknown exception from Run", GetCurrentThreadId());
            }
            state->MarkEnded();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_state->mutex);
        m_state->running = false;
        return false;
    }
    // The id is the platform's, which a thread learns only on itself.
    std::unique_lock lock(m_state->mutex);
    m_state->idKnown.wait(lock, [this] { return m_state->threadId != 0; });
    m_threadId = m_state->threadId;
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
