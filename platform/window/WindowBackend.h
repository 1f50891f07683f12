// The display side of windows, behind one interface so the window core runs
// without a display and a headless or X11 backend can be plugged in.
//
// Install the backend once at start-up, before the first window exists; it
// must outlive every window. Its calls come on the window's own thread, never
// for message-only windows; only top-level windows are announced past
// creation (children live in their top-level's pixels), except through
// ChildPlaced, for the few children that hold a native window of their own
// (NativeWindow.h). A backend delivers
// input through platform::RouteInput (InputRouter.h), which queues it for the
// window's thread and wakes it. Windows that vanish because their thread ended
// get no WindowDestroyed call.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/WindowObject.h"

namespace platform {

// The one monitor: the whole screen and the part windows may cover.
struct ScreenGeometry {
    RECT screen{0, 0, 1920, 1080};
    RECT workArea{0, 0, 1920, 1080};
};

class IWindowBackend {
public:
    virtual ~IWindowBackend() = default;
    // Once the handle is in the table, before WM_NCCREATE. Every window
    // announced here reaches WindowDestroyed too, also when creation fails.
    virtual void WindowCreated(WindowObject& window) = 0;
    // After WM_NCDESTROY, once the handle has left the table.
    virtual void WindowDestroyed(WindowObject& window) = 0;

    // A top-level window was shown or hidden, minimised or restored (style bits).
    virtual void WindowShown(WindowObject& /*window*/) {}
    // A top-level window's rectangle changed. Not called for changes the backend itself reported.
    virtual void WindowMoved(WindowObject& /*window*/) {}
    // Title, window region, layered attributes or z-order changed.
    virtual void WindowChanged(WindowObject& /*window*/) {}
    // `area` (window co-ordinates) of a top-level window's surface holds new pixels.
    virtual void Present(WindowObject& /*window*/, const RECT& /*area*/) {}
    // The cursor shape for the window under the mouse; null hides it.
    virtual void CursorChanged(HCURSOR /*cursor*/) {}
    // The active top-level window of the program (null: none).
    virtual void ActiveChanged(WindowObject* /*window*/) {}
    virtual ScreenGeometry Screen() const { return ScreenGeometry{}; }
    // Whether layered windows' per-pixel alpha is blended with what lies below them on the
    // screen; asked whenever it matters, as it may change while the program runs.
    virtual bool ShowsTranslucency() const { return true; }

    // The keyboard focus moved to `window` (null: to no window of the program).
    virtual void FocusChanged(WindowObject* /*window*/) {}
    // Native child windows (see NativeWindow.h); a backend without them keeps the defaults.
    // The display's name as another program would open it; empty without one.
    virtual std::string NativeDisplayName() const { return {}; }
    // Gives the child window a native window of its own (once); 0 when it cannot.
    virtual std::uint64_t AttachNativeWindow(WindowObject& /*child*/) { return 0; }
    // A child window moved, was resized, shown or hidden, so native windows at or below it may have to follow.
    virtual void ChildPlaced(WindowObject& /*child*/) {}
    // Embeds another program's window into the child's native window.
    virtual bool EmbedNativeClient(WindowObject& /*child*/, std::uint64_t /*client*/) { return false; }
};

// Null (the default) means no display: windows exist only as objects.
void SetWindowBackend(IWindowBackend* backend);
IWindowBackend* CurrentWindowBackend();

}  // namespace platform
