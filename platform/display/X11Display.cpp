#include "platform/display/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/strings/StringConv.h"
#include "platform/window/Focus.h"
#include "platform/window/Icon.h"
#include "platform/window/InputRouter.h"
#include "platform/window/Menu.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/Paint.h"
#include "platform/window/Screen.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

std::atomic<int> g_protocolErrors{0};

int IgnoreProtocolError(::Display*, XErrorEvent*) {
    g_protocolErrors.fetch_add(1);
    return 0;
}

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask;

// Only the hint that asks for no decorations: the program's windows draw their own frame.
struct MotifHints {
    unsigned long flags = 2;  // decorations field valid
    unsigned long functions = 0;
    unsigned long decorations = 0;
    long inputMode = 0;
    unsigned long status = 0;
};

UINT VirtualKeyOf(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return static_cast<UINT>('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z) return static_cast<UINT>(sym);
    if (sym >= XK_0 && sym <= XK_9) return static_cast<UINT>(sym);
    if (sym >= XK_F1 && sym <= XK_F12) return static_cast<UINT>(VK_F1 + (sym - XK_F1));
    switch (sym) {
        case XK_BackSpace:
            return VK_BACK;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return VK_TAB;
        case XK_Return:
        case XK_KP_Enter:
            return VK_RETURN;
        case XK_Escape:
            return VK_ESCAPE;
        case XK_space:
            return VK_SPACE;
        case XK_Delete:
            return VK_DELETE;
        case XK_Insert:
            return VK_INSERT;
        case XK_Home:
            return VK_HOME;
        case XK_End:
            return VK_END;
        case XK_Prior:
            return VK_PRIOR;
        case XK_Next:
            return VK_NEXT;
        case XK_Left:
            return VK_LEFT;
        case XK_Up:
            return VK_UP;
        case XK_Right:
            return VK_RIGHT;
        case XK_Down:
            return VK_DOWN;
        case XK_Shift_L:
        case XK_Shift_R:
            return VK_SHIFT;
        case XK_Control_L:
        case XK_Control_R:
            return VK_CONTROL;
        case XK_Alt_L:
        case XK_Alt_R:
            return VK_MENU;
        case XK_Caps_Lock:
            return VK_CAPITAL;
        default:
            return 0;
    }
}

// Latin-1 keysyms are their code points; others carry one with 0x01000000.
char32_t CodePointOf(KeySym sym) {
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff)) return static_cast<char32_t>(sym);
    if ((sym & 0xff000000) == 0x01000000) return static_cast<char32_t>(sym & 0x00ffffff);
    return 0;
}

unsigned int CursorFontShape(UINT id) {
    switch (id) {
        case 32513:
            return XC_xterm;
        case 32514:
            return XC_watch;
        case 32515:
            return XC_crosshair;
        case 32642:
        case 32643:
            return XC_sizing;
        case 32644:
            return XC_sb_h_double_arrow;
        case 32645:
            return XC_sb_v_double_arrow;
        case 32646:
            return XC_fleur;
        case 32648:
            return XC_X_cursor;
        case 32649:
            return XC_hand2;
        default:
            return XC_left_ptr;
    }
}

// XEmbed (the freedesktop.org embedding protocol, version 0): messages and flags.
constexpr long kXEmbedEmbeddedNotify = 0;
constexpr long kXEmbedWindowActivate = 1;
constexpr long kXEmbedWindowDeactivate = 2;
constexpr long kXEmbedRequestFocus = 3;
constexpr long kXEmbedFocusIn = 4;
constexpr long kXEmbedFocusOut = 5;
constexpr long kXEmbedFocusCurrent = 0;
constexpr unsigned long kXEmbedMapped = 1;

// Our own windows stay where the program puts them; pop-up lists, tips and shadows also skip the window manager.
bool BypassesWindowManager(const WindowObject& window) {
    const DWORD ex = window.ExStyle();
    return (ex & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_LAYERED)) != 0;
}

// A window the user cannot minimise, or one that belongs to another, is a dialog (a message box).
bool IsDialog(const WindowObject& window) {
    return window.Owner() != nullptr || !(window.Style() & WS_MINIMIZEBOX);
}

// WM_CLASS: the program's name ($RESOURCE_NAME, as the convention lets a user choose, else the
// executable's) and the same capitalised as its class.
struct ProgramClass {
    std::string name;
    std::string cls;
};

ProgramClass ProgramClassNames() {
    const char* chosen = std::getenv("RESOURCE_NAME");
    ProgramClass names;
    names.name = chosen != nullptr && *chosen != '\0' ? chosen : program_invocation_short_name;
    names.cls = names.name;
    if (!names.cls.empty() && names.cls[0] >= 'a' && names.cls[0] <= 'z') names.cls[0] = names.cls[0] - 'a' + 'A';
    return names;
}

}  // namespace

struct X11Display::Impl {
    struct NativeState {
        ::Window xid = 0;
        bool argb = false;
        bool mapped = false;
    };

    ~Impl();
    bool Open(const std::string& name);
    ScreenGeometry Screen() const;
    bool ShowsTranslucency() const;
    void ApplyShape(WindowObject& window, ::Window xid);
    void ApplyIcons(WindowObject& window, ::Window xid);
    unsigned long NativeWindow(HWND hwnd) const;
    void WindowCreated(WindowObject& window);
    void WindowDestroyed(WindowObject& window);
    void WindowShown(WindowObject& window);
    void WindowMoved(WindowObject& window);
    void WindowChanged(WindowObject& window);
    void CursorChanged(HCURSOR cursor);
    void ActiveChanged(WindowObject* window);
    void Sync();
    std::optional<Capture> CaptureWindow(HWND hwnd);
    void ReadEvents();
    void WakeReader() const;
    void HandleEvent(const XEvent& event);
    HWND HandleOf(::Window xid) const;
    std::optional<NativeState> StateOf(HWND hwnd) const;
    void PushPixels(WindowObject& window, const NativeState& state, const RECT& area);
    void SetTitle(::Window xid, const std::wstring& title);
    void ApplySizeHints(WindowObject& window, ::Window xid);
    void Present(WindowObject& window, const RECT& area);

    // Native child windows and the XEmbed socket side.
    struct NativeChild {
        ::Window socket = 0;
        ::Window top = 0;
        ::Window client = 0;
        bool mapped = false;
    };
    std::optional<NativeChild> NativeOf(HWND hwnd) const;
    std::uint64_t AttachNativeWindow(WindowObject& child);
    void PlaceNative(HWND hwnd);
    void ChildPlaced(WindowObject& child);
    bool EmbedNativeClient(WindowObject& child, std::uint64_t client);
    void SendXEmbed(::Window to, long message, long detail = 0, long data1 = 0, long data2 = 0);
    void ApplyClientMapping(::Window client);
    void ReleaseClient(::Window client);
    void FocusChanged(WindowObject* window);
    void TellActivation(HWND active);
    bool HandleNativeEvent(const XEvent& event);

    ::Display* display = nullptr;
    int screen = 0;
    ::Window root = 0;
    Visual* argbVisual = nullptr;
    Colormap argbColormap = 0;
    int wakeFd = -1;
    std::atomic<bool> stopping{false};
    Atom protocols = 0;
    Atom deleteWindow = 0;
    Atom netWmName = 0;
    Atom netWmIconName = 0;
    Atom netWmPid = 0;
    Atom netWmWindowType = 0;
    Atom windowTypeNormal = 0;
    Atom windowTypeDialog = 0;
    Atom utf8String = 0;
    Atom motifHints = 0;
    Atom compositorSelection = 0;
    Atom netWmIcon = 0;
    Atom xembed = 0;
    Atom xembedInfo = 0;
    bool hasShape = false;
    ScreenGeometry geometry;
    HCURSOR currentCursor = nullptr;
    std::map<UINT, Cursor> cursors;

    mutable std::mutex mutex;
    std::map<HWND, NativeState> windows;
    std::map<::Window, HWND> handles;
    std::map<HWND, NativeChild> natives;
    HWND focusedNative = nullptr;
    std::thread reader;

    // A call from a window's thread may move events from the connection into Xlib's queue,
    // where the reader's poll() does not see them: each such call wakes the reader as it returns.
    struct WindowThreadCall {
        explicit WindowThreadCall(const Impl& impl) : impl(impl) {}
        ~WindowThreadCall() { impl.WakeReader(); }
        WindowThreadCall(const WindowThreadCall&) = delete;
        WindowThreadCall& operator=(const WindowThreadCall&) = delete;
        const Impl& impl;
    };
};

X11Display::X11Display() : m_impl(std::make_unique<Impl>()) {}
X11Display::~X11Display() = default;
bool X11Display::Open(const std::string& name) {
    return m_impl->Open(name);
}
void X11Display::WindowCreated(WindowObject& window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->WindowCreated(window);
}
void X11Display::WindowDestroyed(WindowObject& window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->WindowDestroyed(window);
}
void X11Display::WindowShown(WindowObject& window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->WindowShown(window);
}
void X11Display::WindowMoved(WindowObject& window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->WindowMoved(window);
}
void X11Display::WindowChanged(WindowObject& window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->WindowChanged(window);
}
void X11Display::Present(WindowObject& window, const RECT& area) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->Present(window, area);
}
void X11Display::CursorChanged(HCURSOR cursor) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->CursorChanged(cursor);
}
void X11Display::ActiveChanged(WindowObject* window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->ActiveChanged(window);
}
ScreenGeometry X11Display::Screen() const {
    return m_impl->Screen();
}
bool X11Display::ShowsTranslucency() const {
    const Impl::WindowThreadCall call(*m_impl);
    return m_impl->ShowsTranslucency();
}
std::optional<X11Display::Capture> X11Display::CaptureWindow(HWND hwnd) {
    const Impl::WindowThreadCall call(*m_impl);
    return m_impl->CaptureWindow(hwnd);
}
void X11Display::Sync() {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->Sync();
}
unsigned long X11Display::NativeWindow(HWND hwnd) const {
    return m_impl->NativeWindow(hwnd);
}
void X11Display::FocusChanged(WindowObject* window) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->FocusChanged(window);
}
std::string X11Display::NativeDisplayName() const {
    return m_impl->display != nullptr ? XDisplayString(m_impl->display) : "";
}
std::uint64_t X11Display::AttachNativeWindow(WindowObject& child) {
    const Impl::WindowThreadCall call(*m_impl);
    return m_impl->AttachNativeWindow(child);
}
void X11Display::ChildPlaced(WindowObject& child) {
    const Impl::WindowThreadCall call(*m_impl);
    m_impl->ChildPlaced(child);
}
bool X11Display::EmbedNativeClient(WindowObject& child, std::uint64_t client) {
    const Impl::WindowThreadCall call(*m_impl);
    return m_impl->EmbedNativeClient(child, client);
}

X11Display::Impl::~Impl() {
    if (!display) return;
    if (reader.joinable()) {
        stopping.store(true);
        WakeReader();
        reader.join();  // the reader leaves as soon as it wakes, so the join is bounded
    }
    if (wakeFd >= 0) close(wakeFd);
    for (const auto& [id, cursor] : cursors)
        XFreeCursor(display, cursor);
    XCloseDisplay(display);
}

bool X11Display::Impl::Open(const std::string& name) {
    static const bool threadsReady = XInitThreads() != 0;
    if (!threadsReady) return false;
    display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!display) return false;
    XSetErrorHandler(IgnoreProtocolError);
    screen = DefaultScreen(display);
    root = RootWindow(display, screen);
    protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    netWmIconName = XInternAtom(display, "_NET_WM_ICON_NAME", False);
    netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    netWmWindowType = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    windowTypeNormal = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
    windowTypeDialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    utf8String = XInternAtom(display, "UTF8_STRING", False);
    motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    netWmIcon = XInternAtom(display, "_NET_WM_ICON", False);
    xembed = XInternAtom(display, "_XEMBED", False);
    xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    const std::string selection = "_NET_WM_CM_S" + std::to_string(screen);
    compositorSelection = XInternAtom(display, selection.c_str(), False);
    int shapeEvent = 0;
    int shapeError = 0;
    hasShape = XShapeQueryExtension(display, &shapeEvent, &shapeError) != 0;

    XVisualInfo info;
    if (XMatchVisualInfo(display, screen, 32, TrueColor, &info)) {
        argbVisual = info.visual;
        argbColormap = XCreateColormap(display, root, argbVisual, AllocNone);
    }

    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    geometry.screen = RECT{0, 0, width, height};
    geometry.workArea = geometry.screen;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const Atom workArea = XInternAtom(display, "_NET_WORKAREA", True);
    if (workArea &&
        XGetWindowProperty(display, root, workArea, 0, 4, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        data && format == 32 && count >= 4) {
        const auto* values = reinterpret_cast<const long*>(data);
        geometry.workArea = RECT{static_cast<LONG>(values[0]), static_cast<LONG>(values[1]),
                                 static_cast<LONG>(values[0] + values[2]), static_cast<LONG>(values[1] + values[3])};
    }
    if (data) XFree(data);

    XFlush(display);
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) return false;
    reader = std::thread([this] { ReadEvents(); });
    return true;
}

ScreenGeometry X11Display::Impl::Screen() const {
    return geometry;
}

bool X11Display::Impl::ShowsTranslucency() const {
    return argbVisual != nullptr && XGetSelectionOwner(display, compositorSelection) != None;
}

void X11Display::Impl::ApplyIcons(WindowObject& window, ::Window xid) {
    // Every size of the icons' resources, largest first, so the desktop never scales a small
    // one up; as width, height and the pixels of each in turn, 32-bit values in longs.
    std::vector<IconImage> images = IconFamilyOf(WindowIcon(window.Handle(), ICON_BIG));
    for (IconImage& image : IconFamilyOf(WindowIcon(window.Handle(), ICON_SMALL))) {
        const bool known = std::any_of(images.begin(), images.end(), [&](const IconImage& other) {
            return other.width == image.width && other.height == image.height;
        });
        if (!known) images.push_back(std::move(image));
    }
    std::sort(images.begin(), images.end(),
              [](const IconImage& a, const IconImage& b) { return a.width * a.height > b.width * b.height; });
    std::vector<unsigned long> data;
    for (const IconImage& image : images) {
        data.push_back(static_cast<unsigned long>(image.width));
        data.push_back(static_cast<unsigned long>(image.height));
        data.insert(data.end(), image.argb.begin(), image.argb.end());
    }
    if (data.empty()) {
        XDeleteProperty(display, xid, netWmIcon);
        return;
    }
    XChangeProperty(display, xid, netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

void X11Display::Impl::ApplyShape(WindowObject& window, ::Window xid) {
    if (!hasShape) return;
    const auto shape = window.WindowRegion();
    if (!shape) {
        XShapeCombineMask(display, xid, ShapeBounding, 0, 0, None, ShapeSet);
        return;
    }
    // X rectangles are 16-bit; a window is never larger.
    const auto clampShort = [](LONG v) { return static_cast<short>(std::clamp<LONG>(v, -32768, 32767)); };
    const auto clampSize = [](LONG v) { return static_cast<unsigned short>(std::clamp<LONG>(v, 0, 65535)); };
    std::vector<XRectangle> rectangles;
    for (const RECT& r : shape->Rects()) {
        rectangles.push_back(XRectangle{clampShort(r.left), clampShort(r.top), clampSize(r.right - r.left),
                                        clampSize(r.bottom - r.top)});
    }
    XShapeCombineRectangles(display, xid, ShapeBounding, 0, 0, rectangles.data(), static_cast<int>(rectangles.size()),
                            ShapeSet, YXBanded);
}

HWND X11Display::Impl::HandleOf(::Window xid) const {
    std::lock_guard lock(mutex);
    auto it = handles.find(xid);
    return it == handles.end() ? nullptr : it->second;
}

std::optional<X11Display::Impl::NativeState> X11Display::Impl::StateOf(HWND hwnd) const {
    std::lock_guard lock(mutex);
    auto it = windows.find(hwnd);
    if (it == windows.end()) return std::nullopt;
    return it->second;
}

unsigned long X11Display::Impl::NativeWindow(HWND hwnd) const {
    auto state = StateOf(hwnd);
    return state ? state->xid : 0;
}

void X11Display::Impl::SetTitle(::Window xid, const std::wstring& title) {
    const std::string utf8 = Utf8FromWide(title);
    for (const Atom name : {netWmName, netWmIconName}) {
        XChangeProperty(display, xid, name, utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    }
    // WM_NAME and WM_ICON_NAME in an encoding they can hold (STRING for Latin-1, else
    // COMPOUND_TEXT), with the client machine and locale beside them.
    Xutf8SetWMProperties(display, xid, utf8.c_str(), utf8.c_str(), nullptr, 0, nullptr, nullptr, nullptr);
}

void X11Display::Impl::ApplySizeHints(WindowObject& window, ::Window xid) {
    const RECT r = window.WindowRect();
    XSizeHints hints{};
    hints.flags = PPosition | USPosition;
    hints.x = r.left;
    hints.y = r.top;
    if (!(window.Style() & WS_THICKFRAME)) {
        // Without a sizing frame only the program sizes the window.
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = std::max<LONG>(1, r.right - r.left);
        hints.min_height = hints.max_height = std::max<LONG>(1, r.bottom - r.top);
    }
    XSetWMNormalHints(display, xid, &hints);
}

void X11Display::Impl::WindowCreated(WindowObject& window) {
    if (window.Style() & WS_CHILD) return;
    const RECT r = window.WindowRect();
    const bool argb = (window.ExStyle() & WS_EX_LAYERED) && argbVisual;
    XSetWindowAttributes attributes{};
    attributes.event_mask = kEventMask;
    attributes.override_redirect = BypassesWindowManager(window) ? True : False;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    unsigned long mask = CWEventMask | CWOverrideRedirect | CWBackPixmap | CWBorderPixel;
    if (argb) {
        attributes.colormap = argbColormap;
        mask |= CWColormap;
    }
    const ::Window xid =
        XCreateWindow(display, root, r.left, r.top, static_cast<unsigned>(std::max<LONG>(1, r.right - r.left)),
                      static_cast<unsigned>(std::max<LONG>(1, r.bottom - r.top)), 0, argb ? 32 : CopyFromParent,
                      InputOutput, argb ? argbVisual : CopyFromParent, mask, &attributes);
    XSetWMProtocols(display, xid, &deleteWindow, 1);
    MotifHints hints;
    XChangeProperty(display, xid, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&hints), 5);
    ApplySizeHints(window, xid);
    if (auto owner = StateOf(window.Owner())) XSetTransientForHint(display, xid, owner->xid);
    SetTitle(xid, window.Title());
    const ProgramClass names = ProgramClassNames();
    XClassHint classHint{const_cast<char*>(names.name.c_str()), const_cast<char*>(names.cls.c_str())};
    XSetClassHint(display, xid, &classHint);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, xid, netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if (!attributes.override_redirect) {
        const Atom type = IsDialog(window) ? windowTypeDialog : windowTypeNormal;
        XChangeProperty(display, xid, netWmWindowType, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&type), 1);
    }
    ApplyShape(window, xid);
    if (currentCursor) XDefineCursor(display, xid, cursors[CursorShapeId(currentCursor)]);
    XFlush(display);
    std::lock_guard lock(mutex);
    windows[window.Handle()] = NativeState{xid, argb, false};
    handles[xid] = window.Handle();
}

void X11Display::Impl::WindowDestroyed(WindowObject& window) {
    if (auto native = NativeOf(window.Handle())) {
        {
            std::lock_guard lock(mutex);
            natives.erase(window.Handle());
            if (focusedNative == window.Handle()) focusedNative = nullptr;
        }
        if (native->client) ReleaseClient(native->client);
        XDestroyWindow(display, native->socket);
        XFlush(display);
        return;
    }
    NativeState state;
    {
        std::lock_guard lock(mutex);
        auto it = windows.find(window.Handle());
        if (it == windows.end()) return;
        state = it->second;
        windows.erase(it);
        handles.erase(state.xid);
    }
    XDestroyWindow(display, state.xid);
    XFlush(display);
}

void X11Display::Impl::WindowShown(WindowObject& window) {
    auto state = StateOf(window.Handle());
    if (!state) return;
    const DWORD style = window.Style();
    const bool wantMapped = (style & WS_VISIBLE) && !(style & WS_MINIMIZE);
    if (wantMapped && !state->mapped) {
        XMapRaised(display, state->xid);
    } else if (!wantMapped && state->mapped) {
        if (style & WS_MINIMIZE) {
            XIconifyWindow(display, state->xid, screen);
        } else {
            XUnmapWindow(display, state->xid);
        }
    }
    XFlush(display);
    std::lock_guard lock(mutex);
    if (auto it = windows.find(window.Handle()); it != windows.end()) it->second.mapped = wantMapped;
}

void X11Display::Impl::WindowMoved(WindowObject& window) {
    auto state = StateOf(window.Handle());
    if (!state) return;
    const RECT r = window.WindowRect();
    // The new size first: a fixed-size window would not be let take it otherwise.
    ApplySizeHints(window, state->xid);
    XMoveResizeWindow(display, state->xid, r.left, r.top, static_cast<unsigned>(std::max<LONG>(1, r.right - r.left)),
                      static_cast<unsigned>(std::max<LONG>(1, r.bottom - r.top)));
    XFlush(display);
}

void X11Display::Impl::WindowChanged(WindowObject& window) {
    auto state = StateOf(window.Handle());
    if (!state) return;
    SetTitle(state->xid, window.Title());
    ApplyShape(window, state->xid);
    ApplyIcons(window, state->xid);
    const auto order = ZOrder();
    if (!order.empty() && order.front() == window.Handle()) XRaiseWindow(display, state->xid);
    XFlush(display);
}

void X11Display::Impl::PushPixels(WindowObject& window, const NativeState& state, const RECT& area) {
    auto surface = window.Surface();
    if (!surface || !surface->Valid()) return;
    const RECT clipped{std::max<LONG>(0, area.left), std::max<LONG>(0, area.top),
                       std::min<LONG>(surface->Width(), area.right), std::min<LONG>(surface->Height(), area.bottom)};
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return;
    const int width = clipped.right - clipped.left;
    const int height = clipped.bottom - clipped.top;
    // The shown pixels carry the window shape and layered opacity; cairo's ARGB32 rows
    // are the server's 32-bit ZPixmap layout on this little-endian machine.
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
    if (!CopyShownPixels(window.Handle(), clipped, pixels.data())) return;
    Visual* visual = state.argb ? argbVisual : DefaultVisual(display, screen);
    const int depth = state.argb ? 32 : DefaultDepth(display, screen);
    XImage* image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
    if (!image) return;
    GC gc = XCreateGC(display, state.xid, 0, nullptr);
    XPutImage(display, state.xid, gc, image, 0, 0, clipped.left, clipped.top, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, gc);
    image->data = nullptr;  // the vector owns the pixels
    XDestroyImage(image);
    XFlush(display);
}

void X11Display::Impl::Present(WindowObject& window, const RECT& area) {
    auto state = StateOf(window.Handle());
    if (state && state->mapped) PushPixels(window, *state, area);
}

void X11Display::Impl::CursorChanged(HCURSOR cursor) {
    currentCursor = cursor;
    if (!cursor) return;
    const UINT id = CursorShapeId(cursor);
    auto& shape = cursors[id];
    if (!shape) shape = XCreateFontCursor(display, CursorFontShape(id));
    std::vector<::Window> xids;
    {
        std::lock_guard lock(mutex);
        for (const auto& [hwnd, state] : windows)
            xids.push_back(state.xid);
    }
    for (::Window xid : xids)
        XDefineCursor(display, xid, shape);
    XFlush(display);
}

void X11Display::Impl::ActiveChanged(WindowObject* window) {
    TellActivation(window ? window->Handle() : nullptr);
    if (!window) return;
    auto state = StateOf(window->Handle());
    if (!state || !state->mapped) return;
    XRaiseWindow(display, state->xid);
    XSetInputFocus(display, state->xid, RevertToParent, CurrentTime);
    // The keyboard stays with an embedded client that holds our focus.
    std::optional<NativeChild> focused;
    {
        std::lock_guard lock(mutex);
        if (auto it = natives.find(focusedNative); it != natives.end()) focused = it->second;
    }
    if (focused && focused->client && focused->top == state->xid) {
        XSetInputFocus(display, focused->client, RevertToParent, CurrentTime);
    }
    XFlush(display);
}

void X11Display::Impl::Sync() {
    XSync(display, False);
}

std::optional<X11Display::Capture> X11Display::Impl::CaptureWindow(HWND hwnd) {
    auto state = StateOf(hwnd);
    if (!state) return std::nullopt;
    XSync(display, False);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, state->xid, &attributes) || attributes.map_state != IsViewable) {
        return std::nullopt;
    }
    XImage* image = XGetImage(display, state->xid, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    Capture capture;
    capture.width = attributes.width;
    capture.height = attributes.height;
    capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
    for (int y = 0; y < capture.height; ++y) {
        for (int x = 0; x < capture.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            capture.pixels[static_cast<size_t>(y) * capture.width + x] =
                0xFF000000u | static_cast<std::uint32_t>(pixel & 0x00FFFFFFu);
        }
    }
    XDestroyImage(image);
    return capture;
}

// Reader thread. It waits in poll(), never inside Xlib: while one thread waits in XNextEvent,
// libX11 takes an X error that arrives during another thread's round trip for a broken
// connection (or fails an assertion), and ends the program. Events are taken only once Xlib
// holds them, so XNextEvent never waits.
void X11Display::Impl::ReadEvents() {
    pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        while (!stopping.load() && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            HandleEvent(event);
        }
        if (stopping.load()) return;
        if (poll(waits, 2, -1) < 0 && errno != EINTR) return;
        if (waits[1].revents & POLLIN) {
            std::uint64_t wakes = 0;
            [[maybe_unused]] const ssize_t n = read(wakeFd, &wakes, sizeof wakes);
        }
    }
}

void X11Display::Impl::WakeReader() const {
    if (wakeFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
}

void X11Display::Impl::HandleEvent(const XEvent& event) {
    if (HandleNativeEvent(event)) return;
    const HWND hwnd = HandleOf(event.xany.window);
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    const RECT r = window->WindowRect();
    RawInput input;
    input.topLevelHint = hwnd;
    switch (event.type) {
        case MotionNotify:
        case EnterNotify:
            input.kind = RawInput::Kind::MouseMove;
            input.screen = POINT{r.left + event.xmotion.x, r.top + event.xmotion.y};
            input.time = static_cast<DWORD>(event.xmotion.time);
            RouteInput(std::move(input));
            break;
        case LeaveNotify:
            if (event.xcrossing.mode != NotifyNormal) break;
            input.kind = RawInput::Kind::PointerLeft;
            RouteInput(std::move(input));
            break;
        case ButtonPress:
        case ButtonRelease: {
            input.screen = POINT{r.left + event.xbutton.x, r.top + event.xbutton.y};
            input.time = static_cast<DWORD>(event.xbutton.time);
            const unsigned button = event.xbutton.button;
            if (button == Button4 || button == Button5) {
                if (event.type == ButtonRelease) break;
                input.kind = RawInput::Kind::Wheel;
                input.wheelDelta = button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
            } else {
                input.kind = event.type == ButtonPress ? RawInput::Kind::ButtonDown : RawInput::Kind::ButtonUp;
                input.button = button == Button3   ? RawInput::Button::Right
                               : button == Button2 ? RawInput::Button::Middle
                                                   : RawInput::Button::Left;
            }
            RouteInput(std::move(input));
            break;
        }
        case KeyPress:
        case KeyRelease: {
            XKeyEvent key = event.xkey;
            char buffer[32];
            KeySym typed = 0;
            XLookupString(&key, buffer, sizeof(buffer), &typed, nullptr);
            UINT vk = VirtualKeyOf(XLookupKeysym(&key, 0));
            const char32_t code = (key.state & ControlMask) ? 0 : CodePointOf(typed);
            if (code) input.text = Utf8FromWide(std::wstring(1, static_cast<wchar_t>(code)));
            if (!vk && input.text.empty()) break;
            input.kind = event.type == KeyPress ? RawInput::Kind::KeyDown : RawInput::Kind::KeyUp;
            input.virtualKey = vk ? vk : VK_PACKET;
            input.time = static_cast<DWORD>(key.time);
            RouteInput(std::move(input));
            break;
        }
        case Expose: {
            const RECT area{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                            event.xexpose.y + event.xexpose.height};
            // The pixels are kept, so an exposure only pushes them again, on the window's thread.
            window->Queue()->PostInput([this, hwnd, area] {
                if (auto w = LookUpWindow(hwnd)) Present(*w, area);
            });
            break;
        }
        case ConfigureNotify: {
            // Only a window manager's synthetic notice means the system moved the window; the
            // real ones echo our own requests and may arrive after newer moves.
            if (!event.xconfigure.send_event) break;
            const RECT moved{event.xconfigure.x, event.xconfigure.y, event.xconfigure.x + event.xconfigure.width,
                             event.xconfigure.y + event.xconfigure.height};
            if (moved.left == r.left && moved.top == r.top && moved.right == r.right && moved.bottom == r.bottom) break;
            window->Queue()->PostInput([hwnd, moved] { ApplySystemMove(hwnd, moved); });
            break;
        }
        case ClientMessage:
            if (event.xclient.message_type == protocols && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
                // In line with the input before it, which is routed in order on the window's thread.
                // A greyed Close in the window's system menu refuses the request.
                window->Queue()->PostInput([hwnd] {
                    if (SystemCommandEnabled(hwnd, SC_CLOSE)) PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                });
            }
            break;
        default:
            break;
    }
}

// ---- native child windows: the XEmbed socket side ----

std::optional<X11Display::Impl::NativeChild> X11Display::Impl::NativeOf(HWND hwnd) const {
    std::lock_guard lock(mutex);
    auto it = natives.find(hwnd);
    if (it == natives.end()) return std::nullopt;
    return it->second;
}

std::uint64_t X11Display::Impl::AttachNativeWindow(WindowObject& child) {
    if (auto native = NativeOf(child.Handle())) return native->socket;
    auto top = TopLevelWindow(LookUpWindow(child.Handle()));
    auto topState = top ? StateOf(top->Handle()) : std::nullopt;
    if (!topState) return 0;
    XSetWindowAttributes attributes{};
    attributes.event_mask = SubstructureNotifyMask;  // the client's mapping and its end
    attributes.background_pixel = 0xFFFFFFFF;        // white until the client draws
    attributes.border_pixel = 0;
    unsigned long mask = CWEventMask | CWBackPixel | CWBorderPixel;
    if (topState->argb) {
        attributes.colormap = argbColormap;
        mask |= CWColormap;
    }
    const ::Window socket = XCreateWindow(display, topState->xid, 0, 0, 1, 1, 0, topState->argb ? 32 : CopyFromParent,
                                          InputOutput, topState->argb ? argbVisual : CopyFromParent, mask, &attributes);
    {
        std::lock_guard lock(mutex);
        natives[child.Handle()] = NativeChild{socket, topState->xid, 0, false};
    }
    PlaceNative(child.Handle());
    return socket;
}

void X11Display::Impl::PlaceNative(HWND hwnd) {
    auto native = NativeOf(hwnd);
    auto window = LookUpWindow(hwnd);
    if (!native || !window) return;
    const POINT origin = OriginInTopLevel(*window);
    const RECT area = window->ClientRect();
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    const bool show = IsWindowVisible(hwnd) && width > 0 && height > 0;
    const auto side = [](LONG v) { return static_cast<unsigned>(std::max<LONG>(1, v)); };
    XMoveResizeWindow(display, native->socket, origin.x, origin.y, side(width), side(height));
    if (native->client) XMoveResizeWindow(display, native->client, 0, 0, side(width), side(height));
    if (show != native->mapped) {
        if (show) {
            XMapWindow(display, native->socket);
        } else {
            XUnmapWindow(display, native->socket);
        }
        std::lock_guard lock(mutex);
        if (auto it = natives.find(hwnd); it != natives.end()) it->second.mapped = show;
    }
    XFlush(display);
}

void X11Display::Impl::ChildPlaced(WindowObject& child) {
    std::vector<HWND> all;
    {
        std::lock_guard lock(mutex);
        for (const auto& [hwnd, native] : natives)
            all.push_back(hwnd);
    }
    for (HWND hwnd : all) {
        if (hwnd == child.Handle() || IsDescendant(child.Handle(), hwnd)) PlaceNative(hwnd);
    }
}

void X11Display::Impl::SendXEmbed(::Window to, long message, long detail, long data1, long data2) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = to;
    event.xclient.message_type = xembed;
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = message;
    event.xclient.data.l[2] = detail;
    event.xclient.data.l[3] = data1;
    event.xclient.data.l[4] = data2;
    XSendEvent(display, to, False, NoEventMask, &event);
}

bool X11Display::Impl::EmbedNativeClient(WindowObject& child, std::uint64_t clientId) {
    const HWND hwnd = child.Handle();
    const auto client = static_cast<::Window>(clientId);
    if (AttachNativeWindow(child) == 0) return false;
    auto native = NativeOf(hwnd);
    if (!native) return false;
    if (native->client == client) return true;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, client, &attributes)) return false;  // a round trip: no such window
    if (native->client) ReleaseClient(native->client);
    XSelectInput(display, client, PropertyChangeMask | StructureNotifyMask);
    {
        std::lock_guard lock(mutex);
        if (auto it = natives.find(hwnd); it != natives.end()) it->second.client = client;
    }
    XReparentWindow(display, client, native->socket, 0, 0);
    SendXEmbed(client, kXEmbedEmbeddedNotify, 0, static_cast<long>(native->socket), 0);
    PlaceNative(hwnd);
    ApplyClientMapping(client);
    TellActivation(ActiveWindowAnyThread());
    if (FocusAnyThread() == hwnd) {
        {
            std::lock_guard lock(mutex);
            focusedNative = nullptr;  // so that the focus is handed over below
        }
        FocusChanged(&child);
    }
    XFlush(display);
    return true;
}

void X11Display::Impl::ApplyClientMapping(::Window client) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    bool wantsMapped = true;  // a client without the property is shown as it is
    if (XGetWindowProperty(display, client, xembedInfo, 0, 2, False, xembedInfo, &type, &format, &count, &remaining,
                           &data) == Success &&
        data && format == 32 && count >= 2) {
        wantsMapped = (reinterpret_cast<const unsigned long*>(data)[1] & kXEmbedMapped) != 0;
    }
    if (data) XFree(data);
    if (wantsMapped) {
        XMapWindow(display, client);
    } else {
        XUnmapWindow(display, client);
    }
    XFlush(display);
}

void X11Display::Impl::ReleaseClient(::Window client) {
    XSelectInput(display, client, NoEventMask);
    XUnmapWindow(display, client);
    XReparentWindow(display, client, root, 0, 0);
    XFlush(display);
}

void X11Display::Impl::FocusChanged(WindowObject* window) {
    const HWND hwnd = window ? window->Handle() : nullptr;
    std::optional<NativeChild> previous;
    std::optional<NativeChild> next;
    {
        std::lock_guard lock(mutex);
        if (focusedNative == hwnd) return;
        if (auto it = natives.find(focusedNative); it != natives.end()) previous = it->second;
        if (auto it = natives.find(hwnd); it != natives.end()) next = it->second;
        focusedNative = next ? hwnd : nullptr;
    }
    if (previous && previous->client) {
        SendXEmbed(previous->client, kXEmbedFocusOut);
        // The keyboard comes back to our own window while it is the active one.
        auto active = StateOf(ActiveWindowAnyThread());
        if (!(next && next->client) && active && active->mapped && active->xid == previous->top) {
            XSetInputFocus(display, previous->top, RevertToParent, CurrentTime);
        }
    }
    if (next && next->client) {
        XSetInputFocus(display, next->client, RevertToParent, CurrentTime);
        SendXEmbed(next->client, kXEmbedFocusIn, kXEmbedFocusCurrent);
    }
    XFlush(display);
}

void X11Display::Impl::TellActivation(HWND active) {
    std::vector<NativeChild> embedding;
    {
        std::lock_guard lock(mutex);
        for (const auto& [hwnd, native] : natives) {
            if (native.client) embedding.push_back(native);
        }
    }
    if (embedding.empty()) return;
    const auto activeState = StateOf(active);
    for (const NativeChild& native : embedding) {
        const bool activeTop = activeState && activeState->xid == native.top;
        SendXEmbed(native.client, activeTop ? kXEmbedWindowActivate : kXEmbedWindowDeactivate);
    }
    XFlush(display);
}

// Reader thread. Events of sockets and clients never reach the top-level windows' handling.
bool X11Display::Impl::HandleNativeEvent(const XEvent& event) {
    HWND socketOwner = nullptr;
    HWND clientOwner = nullptr;
    {
        std::lock_guard lock(mutex);
        for (const auto& [hwnd, native] : natives) {
            if (native.socket == event.xany.window) socketOwner = hwnd;
            if (native.client != 0 && native.client == event.xany.window) clientOwner = hwnd;
        }
    }
    if (!socketOwner && !clientOwner) return false;
    const auto forgetClient = [this](::Window client) {
        std::lock_guard lock(mutex);
        for (auto& [hwnd, native] : natives) {
            if (native.client == client) native.client = 0;
        }
    };
    switch (event.type) {
        case ClientMessage:
            if (socketOwner && event.xclient.message_type == xembed && event.xclient.data.l[1] == kXEmbedRequestFocus) {
                // A click in the client: our focus goes to its window, which hands it the keyboard.
                if (auto window = LookUpWindow(socketOwner)) {
                    window->Queue()->PostInput([hwnd = socketOwner] { SetFocus(hwnd); });
                }
            }
            break;
        case PropertyNotify:
            if (clientOwner && event.xproperty.atom == xembedInfo) ApplyClientMapping(event.xproperty.window);
            break;
        case DestroyNotify:
            forgetClient(event.xdestroywindow.window);
            break;
        case ReparentNotify:
            if (auto native = NativeOf(clientOwner ? clientOwner : socketOwner);
                native && native->client == event.xreparent.window && event.xreparent.parent != native->socket) {
                forgetClient(event.xreparent.window);  // it left for another parent
            }
            break;
        default:
            break;
    }
    return true;
}

}  // namespace platform
