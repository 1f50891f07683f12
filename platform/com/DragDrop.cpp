#include "platform/com/DragDrop.h"

#include <map>
#include <mutex>

#include "platform/window/WindowApi.h"

namespace platform {
namespace {

struct DropRegistry {
    std::mutex mutex;
    std::map<HWND, IDropTarget*> targets;
};

DropRegistry& Registry() {
    static DropRegistry registry;
    return registry;
}

}  // namespace

IDropTarget* RegisteredDropTarget(HWND hwnd) {
    DropRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.targets.find(hwnd);
    return found == r.targets.end() ? nullptr : found->second;
}

}  // namespace platform

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target) {
    if (target == nullptr) return E_INVALIDARG;
    if (!IsWindow(hwnd)) return DRAGDROP_E_INVALIDHWND;
    platform::DropRegistry& r = platform::Registry();
    {
        std::lock_guard lock(r.mutex);
        if (r.targets.count(hwnd) != 0) return DRAGDROP_E_ALREADYREGISTERED;
        r.targets[hwnd] = target;
    }
    target->AddRef();
    return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd) {
    platform::DropRegistry& r = platform::Registry();
    IDropTarget* target = nullptr;
    {
        std::lock_guard lock(r.mutex);
        const auto found = r.targets.find(hwnd);
        if (found == r.targets.end()) return DRAGDROP_E_NOTREGISTERED;
        target = found->second;
        r.targets.erase(found);
    }
    // Outside the lock: the release may run the target's destructor, which may revoke others.
    target->Release();
    return S_OK;
}
