// One window: its class, procedure, tree links, style, user data, creation
// rectangle, invalid-area slot and display-backend slot.
//
// Owned by the process-wide WindowTable while the handle is valid, and kept
// alive beyond that by whatever still refers to it (queued messages), which
// then see IsGone(). Fields may be read and written from any thread (each
// access takes the object's own lock); the procedure is only ever called on
// the thread that created the window (the owner of Queue()).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/WindowClass.h"
#include "platform/window/WindowTypes.h"

namespace platform {

class MessageQueue;

// Whatever a display backend keeps per window (a surface, a native window).
class IWindowBackendState {
public:
    virtual ~IWindowBackendState() = default;
};

class WindowObject {
public:
    struct Placement {
        HWND parent = nullptr;  // for WS_CHILD windows
        HWND owner = nullptr;   // for top-level windows
        bool messageOnly = false;
    };

    WindowObject(HWND hwnd, std::shared_ptr<WindowClassEntry> windowClass, std::shared_ptr<MessageQueue> queue,
                 const CREATESTRUCTW& create, const Placement& placement);
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    HWND Handle() const { return m_hwnd; }
    const std::shared_ptr<MessageQueue>& Queue() const { return m_queue; }
    const std::shared_ptr<WindowClassEntry>& Class() const { return m_class; }
    bool IsMessageOnly() const { return m_messageOnly; }

    // Calls the current procedure; owner thread only. 0 when there is none.
    LRESULT Deliver(UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC Procedure() const;
    DWORD Style() const;
    DWORD ExStyle() const;
    HWND Parent() const;
    HWND Owner() const;
    std::vector<HWND> Children() const;
    void AddChild(HWND child);
    void RemoveChild(HWND child);
    void DetachFromParent();

    // The Get/SetWindowLongPtrW slots; nullopt for an index the window lacks.
    std::optional<LONG_PTR> GetLong(int index) const;
    std::optional<LONG_PTR> SetLong(int index, LONG_PTR value);

    // Returns whether the window was disabled before.
    bool SetEnabled(bool enabled);

    // Window rectangle from creation (screen coordinates); the client area has
    // no frame around it until a display backend says otherwise.
    RECT WindowRect() const;
    RECT ClientRect() const;

    // Invalid area, kept as one bounding rectangle in client coordinates. A
    // null rectangle means the whole client area. Returns whether anything is
    // invalid afterwards.
    bool Invalidate(const RECT* rect);
    void Validate(const RECT* rect);
    bool NeedsPaint() const;
    std::optional<RECT> InvalidBounds() const;

    // Destruction is one-way: BeginDestroy succeeds once, MarkGone once the
    // handle has left the table.
    bool BeginDestroy();
    bool IsDestroying() const { return m_destroying.load(std::memory_order_acquire); }
    void MarkGone() { m_gone.store(true, std::memory_order_release); }
    bool IsGone() const { return m_gone.load(std::memory_order_acquire); }

    IWindowBackendState* BackendState() const;
    void SetBackendState(std::unique_ptr<IWindowBackendState> state);

private:
    const HWND m_hwnd;
    const std::shared_ptr<WindowClassEntry> m_class;
    const std::shared_ptr<MessageQueue> m_queue;
    const bool m_messageOnly;
    const HINSTANCE m_instance;
    const std::wstring m_title;

    mutable std::mutex m_mutex;
    WNDPROC m_procedure;
    DWORD m_style;
    DWORD m_exStyle;
    LONG_PTR m_id;
    LONG_PTR m_userData = 0;
    HWND m_parent;
    HWND m_owner;
    std::vector<HWND> m_children;
    RECT m_rect;
    std::optional<RECT> m_invalid;
    std::unique_ptr<IWindowBackendState> m_backend;

    std::atomic<bool> m_destroying{false};
    std::atomic<bool> m_gone{false};
};

}  // namespace platform
