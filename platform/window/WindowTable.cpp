#include "platform/window/WindowTable.h"

#include <algorithm>
#include <mutex>

namespace platform {

WindowTable& WindowTable::Instance() {
    // Never destroyed: a thread ending during process exit still unregisters its windows.
    static auto* table = new WindowTable;
    return *table;
}

HWND WindowTable::NewHandle() {
    std::unique_lock lock(m_mutex);
    // Steps of 2 keep the low bit clear, so a handle never looks like a small sentinel.
    m_nextHandle += 2;
    return reinterpret_cast<HWND>(m_nextHandle);
}

void WindowTable::Insert(std::shared_ptr<WindowObject> window) {
    std::unique_lock lock(m_mutex);
    const HWND hwnd = window->Handle();
    m_windows.emplace(hwnd, std::move(window));
}

void WindowTable::Remove(HWND hwnd) {
    std::shared_ptr<WindowObject> removed;  // freed after the lock is released
    std::unique_lock lock(m_mutex);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end()) return;
    removed = std::move(it->second);
    m_windows.erase(it);
}

void WindowTable::Retire(const std::shared_ptr<WindowObject>& window) {
    if (window->IsGone()) return;  // only the owning thread retires, so this cannot race
    window->BeginDestroy();
    window->MarkGone();
    Remove(window->Handle());
    if (auto parent = Find(window->Parent())) parent->RemoveChild(window->Handle());
    window->Class()->windowCount.fetch_sub(1);
}

std::shared_ptr<WindowObject> WindowTable::Find(HWND hwnd) const {
    if (!hwnd) return nullptr;
    std::shared_lock lock(m_mutex);
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<WindowObject>> WindowTable::Select(
    const std::function<bool(const WindowObject&)>& match) const {
    std::vector<std::shared_ptr<WindowObject>> selected;
    {
        std::shared_lock lock(m_mutex);
        for (const auto& [hwnd, window] : m_windows) {
            if (match(*window)) selected.push_back(window);
        }
    }
    std::sort(selected.begin(), selected.end(), [](const auto& a, const auto& b) {
        return reinterpret_cast<uintptr_t>(a->Handle()) < reinterpret_cast<uintptr_t>(b->Handle());
    });
    return selected;
}

}  // namespace platform
