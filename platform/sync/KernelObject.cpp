#include "platform/sync/KernelObject.h"

#include <mutex>
#include <unordered_map>

#include "platform/types/ErrorCodes.h"

namespace platform {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;  // multiples of 4, like the system's; never 0 nor INVALID_HANDLE_VALUE
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives every static destructor that may close a handle
    return *table;
}

}  // namespace

bool KernelObject::WaitSignalled(DWORD) {
    return false;
}

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> object) {
    if (!object) return nullptr;
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    const uintptr_t id = t.next;
    t.next += 4;
    t.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> LookupKernelObject(HANDLE handle) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<platform::KernelObject> object;
    {
        platform::HandleTable& t = platform::Table();
        std::lock_guard lock(t.mutex);
        const auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it != t.objects.end()) {
            object = std::move(it->second);
            t.objects.erase(it);
        }
    }
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->OnClosed();  // outside the lock: closing may block or close other handles
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs) {
    const auto object = platform::LookupKernelObject(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->WaitSignalled(timeoutMs) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
