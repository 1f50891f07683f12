// The process-wide table of live windows, keyed by handle.
//
// Any thread may look windows up. Handles come from a counter that never
// repeats, so a stale handle finds nothing instead of a newer window.
#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "platform/window/WindowObject.h"

namespace platform {

class WindowTable {
public:
    static WindowTable& Instance();

    HWND NewHandle();
    void Insert(std::shared_ptr<WindowObject> window);
    void Remove(HWND hwnd);
    // Takes a window out without any message: marks it gone, removes it from
    // the table and from its parent, and releases its class. For windows whose
    // thread has ended; DestroyWindow does the same after WM_NCDESTROY.
    void Retire(const std::shared_ptr<WindowObject>& window);
    std::shared_ptr<WindowObject> Find(HWND hwnd) const;
    // The windows `match` selects, in creation order.
    std::vector<std::shared_ptr<WindowObject>> Select(const std::function<bool(const WindowObject&)>& match) const;

private:
    WindowTable() = default;

    mutable std::shared_mutex m_mutex;
    std::unordered_map<HWND, std::shared_ptr<WindowObject>> m_windows;
    uintptr_t m_nextHandle = 0x10;
};

}  // namespace platform
