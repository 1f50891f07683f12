#include "platform/sync/Thread.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/sync/Wait.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() {
    return g_nextThreadId.fetch_add(1);
}

class ThreadObject : public KernelObject {
public:
    bool WaitSignalled(DWORD timeoutMs) override {
        std::unique_lock lock(m_mutex);
        return WaitWithTimeout(m_changed, lock, timeoutMs, [this] { return m_finished; });
    }

    void Finish(DWORD exitCode) {
        {
            std::lock_guard lock(m_mutex);
            m_exitCode = exitCode;
            m_finished = true;
        }
        m_changed.notify_all();
        NotifyWaiters();
    }

    DWORD ExitCode() {
        std::lock_guard lock(m_mutex);
        return m_finished ? m_exitCode : STILL_ACTIVE;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;
    DWORD m_exitCode = 0;
};

struct StartBlock {
    std::shared_ptr<ThreadObject> object;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    DWORD id;
};

// Signals the handle from the thread's exit: set up before the routine runs, it is
// destroyed after every thread_local the routine created (its message queue, which
// takes the thread's windows with it), so a waiter never sees that state still alive.
struct FinishAtExit {
    std::shared_ptr<ThreadObject> object;
    DWORD exitCode = 0;
    ~FinishAtExit() {
        if (object) object->Finish(exitCode);
    }
};
thread_local FinishAtExit t_finish;

void* ThreadMain(void* raw) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(raw));
    t_threadId = start->id;
    t_finish.object = start->object;
    t_finish.exitCode = start->routine(start->parameter);
    return nullptr;
}

}  // namespace
}  // namespace platform

HANDLE CreateThread(void*, std::size_t stackSize, LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                    DWORD creationFlags, DWORD* threadId) {
    if (creationFlags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!startAddress || (creationFlags & ~STACK_SIZE_PARAM_IS_A_RESERVATION) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    auto object = std::make_shared<platform::ThreadObject>();
    auto start = std::make_unique<platform::StartBlock>(
        platform::StartBlock{object, startAddress, parameter, platform::NewThreadId()});
    const DWORD id = start->id;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    int error = 0;
    if (stackSize != 0) {
        error = pthread_attr_setstacksize(&attr, std::max(stackSize, static_cast<std::size_t>(PTHREAD_STACK_MIN)));
    }
    pthread_t thread;
    if (error == 0) error = pthread_create(&thread, &attr, platform::ThreadMain, start.get());
    pthread_attr_destroy(&attr);
    if (error != 0) {
        SetLastErrorFromErrno(error);
        return nullptr;
    }
    start.release();  // the thread owns it now

    if (threadId) *threadId = id;
    SetLastError(ERROR_SUCCESS);
    return platform::RegisterKernelObject(std::move(object));
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    const auto object = platform::LookupKernelObjectAs<platform::ThreadObject>(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

BOOL TerminateThread(HANDLE thread, DWORD) {
    if (!platform::LookupKernelObjectAs<platform::ThreadObject>(thread)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

DWORD GetCurrentThreadId() {
    if (platform::t_threadId == 0) platform::t_threadId = platform::NewThreadId();
    return platform::t_threadId;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}
