// The X11 display: top-level windows become real X windows (Xlib), their
// pixels are pushed after painting, and X events come back as the same
// messages the headless display produces, through the shared input router.
//
// Open() connects (XInitThreads first, so the UI thread may draw while the
// reader thread takes events) and starts the reader thread, which turns events
// into RouteInput calls and tasks queued for the windows' threads (and maps an
// embedded client as its _XEMBED_INFO asks); every other call comes on a
// window's own thread. The reader waits in poll(), never inside Xlib, so a
// round trip of any thread may meet an X error (libX11 ends the program when
// one arrives while another thread waits in XNextEvent); each call from a
// window's thread wakes it as it returns, since the call may have moved events
// into Xlib's queue.
//
// Child windows live in their top-level's pixels and get no X window. Layered windows use a
// 32-bit ARGB visual when the server has one. A window's shape (SetWindowRgn)
// becomes the X window's bounding shape (the SHAPE extension), so nothing shows
// outside it; its icons (WM_SETICON) become _NET_WM_ICON, in every size their icon resource
// holds. Each top-level window tells the desktop what desktop programs tell it: its title in
// _NET_WM_NAME and, in an encoding that holds it, WM_NAME; WM_CLASS (the program's name);
// _NET_WM_PID and WM_CLIENT_MACHINE; a fixed size (minimum = maximum) when it has no sizing
// frame (WS_THICKFRAME); and, when the window manager places it, _NET_WM_WINDOW_TYPE: a
// dialog when it has an owner or cannot be minimised (a message box), else normal. A child that asks for a
// native window (NativeWindow.h) gets an X window inside its top-level's, which is the
// socket side of XEmbed for another program's window: the client is reparented into it,
// told so, mapped as its _XEMBED_INFO asks, sized with it, given the X keyboard focus
// while the child has ours, and handed back to the root when the child goes. X protocol
// errors are counted and otherwise ignored: a window that vanished must not end the program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/WindowBackend.h"

namespace platform {

class X11Display final : public IWindowBackend {
public:
    X11Display();
    ~X11Display() override;
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    // `name` empty: $DISPLAY. False when no server answers.
    bool Open(const std::string& name);

    void WindowCreated(WindowObject& window) override;
    void WindowDestroyed(WindowObject& window) override;
    void WindowShown(WindowObject& window) override;
    void WindowMoved(WindowObject& window) override;
    void WindowChanged(WindowObject& window) override;
    void Present(WindowObject& window, const RECT& area) override;
    void CursorChanged(HCURSOR cursor) override;
    void ActiveChanged(WindowObject* window) override;
    ScreenGeometry Screen() const override;
    // Only with a 32-bit visual and a compositing manager running (the owner of the screen's
    // _NET_WM_CM_S selection).
    bool ShowsTranslucency() const override;
    void FocusChanged(WindowObject* window) override;
    std::string NativeDisplayName() const override;
    std::uint64_t AttachNativeWindow(WindowObject& child) override;
    void ChildPlaced(WindowObject& child) override;
    bool EmbedNativeClient(WindowObject& child, std::uint64_t client) override;

    // What the server shows of a mapped window, as 0xAARRGGBB with alpha forced
    // to 0xFF (the screen has none); false when the window is not viewable.
    struct Capture {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> pixels;
    };
    std::optional<Capture> CaptureWindow(HWND hwnd);
    // Waits until the server has handled every request made so far.
    void Sync();
    // The X window id of a top-level window; 0 for none. Keeps Xlib out of this header.
    unsigned long NativeWindow(HWND hwnd) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
