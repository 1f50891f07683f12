#include "platform/display/X11Display.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../window/DisplayTestSupport.h"
#include "XvfbServer.h"
#include "platform/resource/Resource.h"
#include "platform/strings/StringConv.h"
#include "platform/window/Icon.h"
#include "platform/window/Menu.h"
#include "platform/window/NativeWindow.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"
#include "support/PngBytes.h"
#include "support/ReferenceImage.h"

// Last: Xlib's macros would otherwise reach into the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace windowtest;

namespace {

constexpr RECT kPlace{40, 30, 240, 170};

// One scene: a skin-like background, a frame, translucent fills, Chinese text and a blended image.
std::optional<LRESULT> PaintScene(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_PAINT) return std::nullopt;
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    const RECT all{0, 0, 200, 140};
    platform::FillRectAlpha(hdc, all, 0xFF2B5A8C);
    const RECT band{0, 0, 200, 30};
    platform::FillRectAlpha(hdc, band, 0xFF17324F);
    const RECT glass{20, 50, 120, 90};
    platform::FillRectAlpha(hdc, glass, 0x80FFFFFF);
    platform::DrawLineAlpha(hdc, POINT{0, 139}, POINT{200, 139}, 1, 0xFFE0A030, PS_SOLID);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(255, 255, 255));
    RECT text{8, 4, 192, 28};
    DrawTextW(hdc, L"安装程序 Setup", -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    testsupport::Canvas image(16, 16, 0x00000000);
    const RECT dot{4, 4, 12, 12};
    platform::FillRectAlpha(image.Dc(), dot, 0xC0FF4000);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(hdc, 150, 60, 32, 32, image.Dc(), 0, 0, 16, 16, blend);
    EndPaint(hwnd, &paint);
    return 0;
}

HWND CreateScene(ScopedClass& cls, Recorder* recorder) {
    recorder->handler = PaintScene;
    const HWND hwnd = cls.Create(recorder, WS_POPUP, kPlace);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

// A close request from the window manager, as WM_DELETE_WINDOW.
void SendCloseRequest(::Display* sender, unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(sender, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(sender, "WM_DELETE_WINDOW", False));
    XSendEvent(sender, window, False, 0, &event);
}

// An Xvfb server and our display opened on it; skipped where Xvfb is not installed.
class X11DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!displaytest::XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
        m_server.emplace();
        ASSERT_TRUE(m_server->Running()) << "Xvfb did not start";
        ASSERT_TRUE(x11.Open(m_server->Name()));
    }
    void TearDown() override { platform::SetWindowBackend(nullptr); }
    ::Display* OpenClient() const { return XOpenDisplay(m_server->Name().c_str()); }

    std::optional<displaytest::XvfbServer> m_server;
    platform::X11Display x11;
    Recorder recorder;
    ScopedClass cls;  // after the recorder: its windows go first
};

}  // namespace

TEST_F(X11DisplayTest, ARealWindowShowsTheSamePixelsAsTheHeadlessOne) {
    std::vector<DWORD> expected;
    {
        HeadlessScope scope;
        Recorder headless;
        const HWND hwnd = CreateScene(cls, &headless);
        for (int y = 0; y < 140; ++y) {
            for (int x = 0; x < 200; ++x)
                expected.push_back(scope.display.Pixel(hwnd, x, y));
        }
        DestroyWindow(hwnd);
    }

    platform::SetWindowBackend(&x11);
    const HWND hwnd = CreateScene(cls, &recorder);
    ASSERT_NE(x11.NativeWindow(hwnd), 0u);
    std::optional<platform::X11Display::Capture> shown;
    // Mapping is asynchronous: pixels pushed before the server mapped the window come again on Expose.
    const bool same = testsupport::PumpMessagesUntil(
        [&] {
            shown = x11.CaptureWindow(hwnd);
            if (!shown || shown->width != 200 || shown->height != 140) return false;
            return std::vector<DWORD>(shown->pixels.begin(), shown->pixels.end()) == expected;
        },
        std::chrono::seconds(10));
    ASSERT_TRUE(shown.has_value()) << "the window never became viewable";
    EXPECT_TRUE(same) << "the server shows other pixels than the headless display";
    EXPECT_TRUE(testsupport::WriteArtifact("x11-window.png", shown->pixels, shown->width, shown->height));
    DestroyWindow(hwnd);
}

TEST_F(X11DisplayTest, PointerEventsAndCloseRequestsBecomeWindowMessages) {
    platform::SetWindowBackend(&x11);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_SYSMENU | WS_VISIBLE, RECT{10, 10, 110, 110});
    x11.Sync();
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return x11.CaptureWindow(hwnd).has_value(); }));
    EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);

    // Events as the server would send them, through the reader thread: with Close greyed,
    // the close request is ignored; the clicks sent after it show it was handled.
    ::Display* sender = OpenClient();
    ASSERT_NE(sender, nullptr);
    SendCloseRequest(sender, x11.NativeWindow(hwnd));
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.window = x11.NativeWindow(hwnd);
    event.xbutton.x = 20;
    event.xbutton.y = 30;
    event.xbutton.button = Button1;
    XSendEvent(sender, event.xbutton.window, False, ButtonPressMask, &event);
    event.xbutton.type = ButtonRelease;
    XSendEvent(sender, event.xbutton.window, False, ButtonReleaseMask, &event);
    XFlush(sender);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !recorder.Only({WM_LBUTTONUP}).empty(); }));
    EXPECT_EQ(recorder.Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_SYSCOMMAND, WM_CLOSE}),
              (std::vector<Step>{{hwnd, WM_LBUTTONDOWN}, {hwnd, WM_LBUTTONUP}}));
    EXPECT_EQ(LParamsOf(recorder, hwnd, WM_LBUTTONDOWN), (std::vector<LPARAM>{Point(20, 30)}));
    EXPECT_TRUE(IsWindow(hwnd));

    // With the menu restored it goes through WM_SYSCOMMAND and WM_CLOSE to DefWindowProcW.
    GetSystemMenu(hwnd, TRUE);
    SendCloseRequest(sender, x11.NativeWindow(hwnd));
    XFlush(sender);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(recorder.Only({WM_SYSCOMMAND, WM_CLOSE}), (std::vector<Step>{{hwnd, WM_SYSCOMMAND}, {hwnd, WM_CLOSE}}));
    XCloseDisplay(sender);
}

namespace {

// Waits up to ten seconds for an event of `client`'s connection that `match` accepts.
bool AwaitEvent(::Display* client, const std::function<bool(const XEvent&)>& match) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(client) > 0) {
            XEvent event;
            XNextEvent(client, &event);
            if (match(event)) return true;
        }
        testsupport::PumpMessagesFor(std::chrono::milliseconds(20));
    }
    return false;
}

bool IsXEmbed(const XEvent& event, Atom xembed, long message) {
    return event.type == ClientMessage && event.xclient.message_type == xembed && event.xclient.data.l[1] == message;
}

}  // namespace

TEST_F(X11DisplayTest, AChildHoldsAnotherProgramsWindowAsAnXEmbedSocket) {
    platform::SetWindowBackend(&x11);
    const HWND top = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{10, 10, 310, 210});
    const HWND host = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{20, 30, 220, 130}, top);
    EXPECT_EQ(platform::NativeDisplayName(), m_server->Name());
    const auto socket = static_cast<::Window>(platform::NativeChildWindow(host));
    ASSERT_NE(socket, 0u);
    EXPECT_EQ(platform::NativeChildWindow(host), socket);
    EXPECT_EQ(platform::NativeChildWindow(top), 0u) << "only children get one";

    // Another program's window as a plug leaves it: unmapped, not yet asking to be shown.
    ::Display* other = OpenClient();
    ASSERT_NE(other, nullptr);
    const Atom xembed = XInternAtom(other, "_XEMBED", False);
    const Atom info = XInternAtom(other, "_XEMBED_INFO", False);
    const ::Window client = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
    unsigned long flags[2] = {0, 0};
    XChangeProperty(other, client, info, info, 32, PropModeReplace, reinterpret_cast<unsigned char*>(flags), 2);
    XSelectInput(other, client, StructureNotifyMask);
    XSync(other, False);
    ASSERT_TRUE(platform::EmbedNativeClient(host, client));
    EXPECT_FALSE(platform::EmbedNativeClient(host, 0x7FFFFFF)) << "no such window";

    {  // Reparented into the socket, told so, sized like the child, and left unmapped.
        EXPECT_TRUE(AwaitEvent(
            other, [&](const XEvent& e) { return e.type == ReparentNotify && e.xreparent.parent == socket; }));
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return IsXEmbed(e, xembed, 0) && static_cast<::Window>(e.xclient.data.l[3]) == socket;
        }));
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(other, client, &attributes));
        EXPECT_EQ(attributes.width, 200);
        EXPECT_EQ(attributes.height, 100);
        EXPECT_EQ(attributes.map_state, IsUnmapped);
    }
    {  // Mapped once its info asks for it.
        flags[1] = 1;
        XChangeProperty(other, client, info, info, 32, PropModeReplace, reinterpret_cast<unsigned char*>(flags), 2);
        XFlush(other);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return e.type == MapNotify; }));
    }
    {  // It follows the child's place, size and visibility.
        MoveWindow(host, 5, 6, 120, 60, TRUE);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return e.type == ConfigureNotify && e.xconfigure.width == 120 && e.xconfigure.height == 60;
        }));
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(other, socket, &attributes));
        EXPECT_EQ(attributes.x, 5);
        EXPECT_EQ(attributes.y, 6);
        ShowWindow(host, SW_HIDE);
        x11.Sync();
        ASSERT_TRUE(XGetWindowAttributes(other, socket, &attributes));
        EXPECT_EQ(attributes.map_state, IsUnmapped);
        ShowWindow(host, SW_SHOW);
    }
    {  // Our focus on the child gives the client the keyboard, and taking it back takes it.
        SetFocus(host);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return IsXEmbed(e, xembed, 4); }));
        SetFocus(top);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) { return IsXEmbed(e, xembed, 5); }));
    }
    {  // The child's end hands the client back to the root unharmed.
        DestroyWindow(host);
        EXPECT_TRUE(AwaitEvent(other, [&](const XEvent& e) {
            return e.type == ReparentNotify && e.xreparent.parent == DefaultRootWindow(other);
        }));
        XWindowAttributes attributes;
        EXPECT_TRUE(XGetWindowAttributes(other, client, &attributes));
    }
    XCloseDisplay(other);
}

// X errors are answered while the reader waits for events; none of them may end the connection.
TEST_F(X11DisplayTest, XErrorsDuringRoundTripsLeaveTheConnectionWorking) {
    platform::SetWindowBackend(&x11);
    const HWND top = cls.Create(&recorder, WS_POPUP | WS_SYSMENU | WS_VISIBLE, RECT{10, 10, 310, 210});
    const HWND host = cls.Create(&recorder, WS_CHILD | WS_VISIBLE, RECT{20, 30, 220, 130}, top);
    ASSERT_NE(platform::NativeChildWindow(host), 0u);
    const std::unique_ptr<::Display, int (*)(::Display*)> client(OpenClient(), XCloseDisplay);
    ASSERT_NE(client, nullptr);
    ::Display* other = client.get();

    // A round trip whose answer is an error: asking about windows that do not exist.
    for (int i = 0; i < 300; ++i)
        ASSERT_FALSE(platform::EmbedNativeClient(host, 0x7FFFFFF)) << "no such window";

    {  // Errors of requests without an answer, then a round trip: the keyboard handed to a
       // client that asks not to be shown is refused (the client is not viewable).
        const Atom info = XInternAtom(other, "_XEMBED_INFO", False);
        const ::Window plug = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
        unsigned long flags[2] = {0, 0};
        XChangeProperty(other, plug, info, info, 32, PropModeReplace, reinterpret_cast<unsigned char*>(flags), 2);
        XSync(other, False);
        ASSERT_TRUE(platform::EmbedNativeClient(host, plug));
        for (int i = 0; i < 2000; ++i) {
            SetFocus(host);
            SetFocus(top);
            x11.Sync();
        }
    }

    // Events still come through.
    SendCloseRequest(other, x11.NativeWindow(top));
    XFlush(other);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(top); }));
}

// The window's thread's own round trips may read an event off the connection before the reader
// does; it must still be handled, with nothing else coming from the server after it.
TEST_F(X11DisplayTest, AnEventReadDuringTheWindowsThreadsRoundTripIsStillHandled) {
    platform::SetWindowBackend(&x11);
    const HWND hwnd = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{10, 10, 110, 110});
    x11.Sync();
    const std::unique_ptr<::Display, int (*)(::Display*)> client(OpenClient(), XCloseDisplay);
    ASSERT_NE(client, nullptr);
    XEvent click{};
    click.xbutton.type = ButtonPress;
    click.xbutton.window = x11.NativeWindow(hwnd);
    click.xbutton.button = Button1;
    for (size_t sent = 1; sent <= 100; ++sent) {
        XSendEvent(client.get(), click.xbutton.window, False, ButtonPressMask, &click);
        XFlush(client.get());
        for (int i = 0; i < 5; ++i)
            x11.Sync();
        ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return recorder.Only({WM_LBUTTONDOWN}).size() == sent; },
                                                   std::chrono::seconds(2)))
            << "click " << sent << " never arrived";
    }
}

namespace {

// A property of 32-bit items (CARDINAL, ATOM), as another client reads it.
std::vector<unsigned long> Items(::Display* x, ::Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(x, window, XInternAtom(x, name, False), 0, 1 << 20, False, AnyPropertyType, &type, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        items.assign(values, values + count);
    }
    if (data != nullptr) XFree(data);
    return items;
}

// A text property decoded as the desktop's tools decode it (any of STRING, COMPOUND_TEXT, UTF8_STRING).
std::string TextOf(::Display* x, ::Window window, Status (*get)(::Display*, ::Window, XTextProperty*)) {
    XTextProperty text{};
    if (!get(x, window, &text)) return "(none)";
    char** list = nullptr;
    int count = 0;
    std::string result = "(undecodable)";
    if (Xutf8TextPropertyToTextList(x, &text, &list, &count) == Success && count == 1) result = list[0];
    if (list != nullptr) XFreeStringList(list);
    XFree(text.value);
    return result;
}

// The sizes of the images in _NET_WM_ICON, in order.
std::vector<std::pair<unsigned long, unsigned long>> IconSizes(::Display* x, ::Window window) {
    const std::vector<unsigned long> data = Items(x, window, "_NET_WM_ICON");
    std::vector<std::pair<unsigned long, unsigned long>> sizes;
    for (size_t at = 0; at + 2 <= data.size();) {
        sizes.emplace_back(data[at], data[at + 1]);
        at += 2 + data[at] * data[at + 1];
    }
    return sizes;
}

std::string WindowType(::Display* x, ::Window window) {
    const std::vector<unsigned long> types = Items(x, window, "_NET_WM_WINDOW_TYPE");
    if (types.size() != 1) return "(" + std::to_string(types.size()) + " types)";
    char* name = XGetAtomName(x, static_cast<Atom>(types[0]));
    const std::string result = name != nullptr ? name : "";
    if (name != nullptr) XFree(name);
    return result;
}

}  // namespace

TEST_F(X11DisplayTest, WindowsTellTheDesktopTheirTitleClassProcessSizeTypeAndIcons) {
    // The program's icon in three sizes.
    for (const auto& [id, side] : {std::pair{7301, 16}, std::pair{7302, 32}, std::pair{7303, 48}}) {
        const auto png = testsupport::PngBytes(side, side, std::vector<uint32_t>(side * side, 0xFF3A7BD5));
        ASSERT_TRUE(platform::RegisterResource(RT_ICON, id, std::string(png.begin(), png.end())));
    }
    std::string group = {0, 0, 1, 0, 3, 0};
    for (const auto& [side, id] : {std::pair{48, 7303}, std::pair{16, 7301}, std::pair{32, 7302}}) {
        const char entry[14] = {static_cast<char>(side),      static_cast<char>(side),   0, 0, 1, 0, 32, 0, 0, 0, 0, 0,
                                static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)};
        group.append(entry, sizeof entry);
    }
    ASSERT_TRUE(platform::RegisterResource(RT_GROUP_ICON, 7300, group));

    platform::SetWindowBackend(&x11);
    const wchar_t kTitle[] = L"《Aldrune》安装程序";
    const HWND main = cls.Create(&recorder, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, RECT{10, 10, 210, 110});
    SetWindowTextW(main, kTitle);
    SendMessageW(main, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageW(nullptr, MAKEINTRESOURCEW(7300), IMAGE_ICON, 32, 32, 0)));
    SendMessageW(main, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(nullptr, MAKEINTRESOURCEW(7300), IMAGE_ICON, 16, 16, 0)));
    // A message box: no owner, nothing to minimise; an owned window that can be resized.
    const HWND box = cls.Create(&recorder, WS_POPUP, RECT{40, 40, 160, 100});
    const HWND owned = cls.Create(&recorder, WS_POPUP | WS_MINIMIZEBOX | WS_THICKFRAME, RECT{60, 60, 160, 120}, main);
    x11.Sync();
    const std::unique_ptr<::Display, int (*)(::Display*)> client(OpenClient(), XCloseDisplay);
    ASSERT_NE(client, nullptr);
    ::Display* other = client.get();
    const ::Window xmain = x11.NativeWindow(main);
    {
        // The title reads the same in WM_NAME as in _NET_WM_NAME, for the tools that read the older one.
        const std::string title = platform::Utf8FromWide(kTitle);
        EXPECT_EQ(TextOf(other, xmain, XGetWMName), title);
        EXPECT_EQ(TextOf(other, xmain, XGetWMIconName), title);
    }
    {
        // The program's name and class, its process and machine.
        XClassHint hint{};
        ASSERT_TRUE(XGetClassHint(other, xmain, &hint));
        EXPECT_STREQ(hint.res_name, "platform_tests");
        EXPECT_STREQ(hint.res_class, "Platform_tests");
        XFree(hint.res_name);
        XFree(hint.res_class);
        EXPECT_EQ(Items(other, xmain, "_NET_WM_PID"),
                  (std::vector<unsigned long>{static_cast<unsigned long>(getpid())}));
        EXPECT_NE(TextOf(other, xmain, XGetWMClientMachine), "(none)");
    }
    {
        // A window without a sizing frame keeps its size, whatever size it takes.
        XSizeHints hints{};
        long supplied = 0;
        ASSERT_TRUE(XGetWMNormalHints(other, xmain, &hints, &supplied));
        EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
        EXPECT_EQ((std::vector<int>{hints.min_width, hints.min_height, hints.max_width, hints.max_height}),
                  (std::vector<int>{200, 100, 200, 100}));
        MoveWindow(main, 10, 10, 260, 120, TRUE);
        x11.Sync();
        ASSERT_TRUE(XGetWMNormalHints(other, xmain, &hints, &supplied));
        EXPECT_EQ((std::vector<int>{hints.min_width, hints.min_height, hints.max_width, hints.max_height}),
                  (std::vector<int>{260, 120, 260, 120}));
        ASSERT_TRUE(XGetWMNormalHints(other, x11.NativeWindow(owned), &hints, &supplied));
        EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), 0) << "a sizing frame leaves the size free";
    }
    {
        // The main window is a normal one; a box that cannot be minimised and an owned window are dialogs.
        EXPECT_EQ(WindowType(other, xmain), "_NET_WM_WINDOW_TYPE_NORMAL");
        EXPECT_EQ(WindowType(other, x11.NativeWindow(box)), "_NET_WM_WINDOW_TYPE_DIALOG");
        EXPECT_EQ(WindowType(other, x11.NativeWindow(owned)), "_NET_WM_WINDOW_TYPE_DIALOG");
    }
    {
        // Every size the icon resource holds, largest first; none for a window without icons.
        using Sizes = std::vector<std::pair<unsigned long, unsigned long>>;
        EXPECT_EQ(IconSizes(other, xmain), (Sizes{{48, 48}, {32, 32}, {16, 16}}));
        EXPECT_EQ(IconSizes(other, x11.NativeWindow(box)), Sizes{});
    }
}
