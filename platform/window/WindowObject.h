// One window: its class, procedure, tree links, style, user data, rectangle,
// title, invalid region, display state (surface, window region, layered
// attributes, restore rectangle) and display-backend slot.
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

#include "platform/gdi/Region.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowTypes.h"

namespace platform {

class MessageQueue;
class WindowSurface;

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
    // A non-negative index is a byte offset into the class's extra bytes
    // (cbWndExtra), read and written `size` bytes wide (4 or 8).
    std::optional<LONG_PTR> GetLong(int index, size_t size = sizeof(LONG_PTR)) const;
    std::optional<LONG_PTR> SetLong(int index, LONG_PTR value, size_t size = sizeof(LONG_PTR));

    // Returns whether the window was disabled before.
    bool SetEnabled(bool enabled);

    // The window rectangle: screen co-ordinates for a top-level window, the
    // parent's client co-ordinates for a child. Windows have no frame, so the
    // client area is the whole window.
    RECT WindowRect() const;
    RECT ClientRect() const;
    void SetWindowRect(const RECT& rect);

    std::wstring Title() const;
    void SetTitle(std::wstring title);
    // Returns the style before the change.
    DWORD ModifyStyle(DWORD add, DWORD remove);

    // Invalid area in client co-ordinates, clipped to the client area. A null
    // rectangle means the whole client area. Returns whether anything is
    // invalid afterwards.
    bool Invalidate(const RECT* rect, bool erase = false);
    bool InvalidateRegion(const Region& area, bool erase);
    void Validate(const RECT* rect);
    void ValidateRegion(const Region& area);
    bool NeedsPaint() const;
    std::optional<RECT> InvalidBounds() const;
    Region InvalidRegion() const;
    // Whether the background is to be erased; clears the request.
    bool TakeErase();

    // Where SW_RESTORE puts a minimised or maximised window.
    std::optional<RECT> RestoreRect() const;
    void SetRestoreRect(std::optional<RECT> rect);
    // The visible shape in window co-ordinates; none means the whole rectangle.
    std::optional<Region> WindowRegion() const;
    void SetWindowRegion(std::optional<Region> region);

    struct Layered {
        bool perPixel = false;  // its pixels came from UpdateLayeredWindow
        BYTE constantAlpha = 255;
        bool hasConstantAlpha = false;
    };
    Layered LayeredState() const;
    void SetLayeredState(const Layered& state);

    // The pixels of a top-level window; children draw into their top-level's.
    std::shared_ptr<WindowSurface> Surface() const;
    void SetSurface(std::shared_ptr<WindowSurface> surface);

    // True the first time only: the first showing sends WM_SIZE and WM_MOVE.
    bool TakeFirstShow();

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

    mutable std::mutex m_mutex;
    WNDPROC m_procedure;
    DWORD m_style;
    DWORD m_exStyle;
    LONG_PTR m_id;
    LONG_PTR m_userData = 0;
    HWND m_parent;
    HWND m_owner;
    std::vector<HWND> m_children;
    std::wstring m_title;
    std::vector<unsigned char> m_extraBytes;
    RECT m_rect;
    Region m_invalid;
    bool m_erase = false;
    std::optional<RECT> m_restoreRect;
    std::optional<Region> m_windowRegion;
    Layered m_layered;
    std::shared_ptr<WindowSurface> m_surface;
    bool m_shownOnce = false;
    std::unique_ptr<IWindowBackendState> m_backend;

    std::atomic<bool> m_destroying{false};
    std::atomic<bool> m_gone{false};
};

}  // namespace platform
