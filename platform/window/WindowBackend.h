// The display side of windows, behind one interface so the window core runs
// without a display and a headless or X11 backend can be plugged in.
//
// Install the backend once at start-up, before the first window exists; it
// must outlive every window. Its calls come on the window's own thread, never
// for message-only windows. A backend delivers input by posting messages to
// the window (PostMessageW), which also wakes the owning thread. Windows that
// vanish because their thread ended get no WindowDestroyed call.
#pragma once

#include "platform/window/WindowObject.h"

namespace platform {

class IWindowBackend {
public:
    virtual ~IWindowBackend() = default;
    // Once the handle is in the table, before WM_NCCREATE. Every window
    // announced here reaches WindowDestroyed too, also when creation fails.
    virtual void WindowCreated(WindowObject& window) = 0;
    // After WM_NCDESTROY, once the handle has left the table.
    virtual void WindowDestroyed(WindowObject& window) = 0;
};

// Null (the default) means no display: windows exist only as objects.
void SetWindowBackend(IWindowBackend* backend);
IWindowBackend* CurrentWindowBackend();

}  // namespace platform
