#include "platform/sync/Event.h"

#include <condition_variable>
#include <mutex>

#include "platform/sync/Wait.h"
#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

class EventObject : public KernelObject {
public:
    EventObject(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}

    bool WaitSignalled(DWORD timeoutMs) override {
        std::unique_lock lock(m_mutex);
        if (!WaitWithTimeout(m_changed, lock, timeoutMs, [this] { return m_signalled; })) return false;
        if (!m_manualReset) m_signalled = false;
        return true;
    }

    void Set(bool signalled) {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = signalled;
        }
        if (!signalled) return;
        // All waiters re-check: with notify_one a waiter that is timing out could
        // swallow the wake-up while another one keeps sleeping.
        m_changed.notify_all();
        NotifyWaiters();
    }

private:
    const bool m_manualReset;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled;
};

BOOL SetEventState(HANDLE event, bool signalled) {
    const auto object = LookupKernelObjectAs<EventObject>(event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Set(signalled);
    return TRUE;
}

}  // namespace
}  // namespace platform

HANDLE CreateEventW(void*, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    if (name) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return platform::RegisterKernelObject(std::make_shared<platform::EventObject>(manualReset, initialState));
}

BOOL SetEvent(HANDLE event) {
    return platform::SetEventState(event, true);
}

BOOL ResetEvent(HANDLE event) {
    return platform::SetEventState(event, false);
}
